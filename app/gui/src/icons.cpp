#include "icons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "app/table.h"

// The resources live in a static library: nothing would pull them in
// unless someone asks for them by name.
static void initResources() { Q_INIT_RESOURCE(tavrin); }

namespace tavrin::gui {

namespace {

QString resourceOf(IconId id) {
  switch (id) {
    case IconId::Program: return QStringLiteral(":/icons/tavrin.svg");
    case IconId::Connect: return QStringLiteral(":/icons/connect.svg");
    case IconId::Read: return QStringLiteral(":/icons/read.svg");
    case IconId::Write: return QStringLiteral(":/icons/write.svg");
    case IconId::Parameter: return QStringLiteral(":/icons/parameter.svg");
    case IconId::Function: return QStringLiteral(":/icons/function.svg");
    case IconId::Calibration: return QStringLiteral(":/icons/calibration.svg");
    case IconId::Disconnect: return QStringLiteral(":/icons/disconnect.svg");
    case IconId::TreeItem: return QStringLiteral(":/icons/tree-item.svg");
    case IconId::TreeSelected: return QStringLiteral(":/icons/tree-selected.svg");
    case IconId::CellWritable: return QStringLiteral(":/icons/cell-writable.svg");
    case IconId::CellMethod: return QStringLiteral(":/icons/cell-method.svg");
    case IconId::CellMenu: return QStringLiteral(":/icons/cell-menu.svg");
    case IconId::CellReadOnly: return QStringLiteral(":/icons/cell-read-only.svg");
  }
  return {};
}

QPixmap render(QSvgRenderer& svg, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  svg.render(&painter);
  return pixmap;
}

// Rendered here rather than through the SVG icon plugin, so that a missing
// plugin can never leave the toolbar blank.
void addRendered(QIcon& icon, IconId id, QIcon::Mode mode) {
  static const bool loaded = (initResources(), true);
  (void)loaded;
  QSvgRenderer svg(resourceOf(id));
  if (!svg.isValid()) return;
  for (int size : {16, 24, 32, 48}) icon.addPixmap(render(svg, size), mode);
}

}  // namespace

QIcon icon(IconId id) {
  static QHash<int, QIcon> cache;
  const int key = static_cast<int>(id);
  auto found = cache.find(key);
  if (found != cache.end()) return *found;
  QIcon made;
  addRendered(made, id, QIcon::Normal);
  return *cache.insert(key, made);
}

QIcon treeIcon() {
  static const QIcon made = [] {
    QIcon i;
    addRendered(i, IconId::TreeItem, QIcon::Normal);
    addRendered(i, IconId::TreeSelected, QIcon::Selected);
    return i;
  }();
  return made;
}

QIcon gridImage(int image) {
  switch (image) {
    case app::kImageWritable: return icon(IconId::CellWritable);
    case app::kImageMethod: return icon(IconId::CellMethod);
    case app::kImageMenu: return icon(IconId::CellMenu);
    case app::kImageReadOnly: return icon(IconId::CellReadOnly);
    default: return {};
  }
}

}  // namespace tavrin::gui
