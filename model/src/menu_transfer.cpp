#include "model/menu_transfer.h"

#include <optional>
#include <string>
#include <vector>

#include "edd/tags.h"
#include "messages.h"
#include "model/description.h"
#include "model/menus.h"
#include "model/symbol_table.h"
#include "model/transfer.h"
#include "model/variables.h"
#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::model {

using edd::Tag;

namespace {

void report(ui::Progress& progress, size_t done, size_t count) {
  const int percent = static_cast<int>(100 * done / count);
  progress.report(percent, std::to_string(percent) + "%");
}

}  // namespace

MenuTransfer::MenuTransfer(ui::UserInterface& ui, Description& description, SymbolTable& symbols, Variables& variables,
                           Menus& menus, Transfer& transfer)
    : ui_(ui),
      description_(description),
      symbols_(symbols),
      variables_(variables),
      menus_(menus),
      transfer_(transfer) {}

std::vector<int32_t> MenuTransfer::prepare(const EddNode& menu, uint16_t preActions) {
  ui::WaitCursor busy(ui_);
  menus_.runActions(menu, preActions);
  return menus_.menuVariables(menu);
}

bool MenuTransfer::upload(const EddNode* menu, uint32_t) {
  if (!menu) {
    ui_.errorBox(msg::UploadEmpty);
    return false;
  }
  const std::vector<int32_t> list = prepare(*menu, +Tag::PreReadActions);
  int last = 1;
  const bool finished = ui_.runProgress(msg::UploadText, [&](ui::Progress& progress) {
    for (size_t i = 0; i < list.size() && !progress.cancelRequested(); ++i) {
      last = transfer_.readVariable(list[i]);
      if (last != 1) return;
      report(progress, i + 1, list.size());
    }
  });
  const bool accepted = finished && last == 1;
  if (accepted) menus_.runActions(*menu, +Tag::PostReadActions);
  return accepted;
}

bool MenuTransfer::download(const EddNode* menu, uint32_t) {
  if (!menu) {
    ui_.errorBox(msg::DownloadEmpty);
    return false;
  }
  const std::vector<int32_t> list = prepare(*menu, +Tag::PreWriteActions);
  int last = 1;
  const bool finished = ui_.runProgress(msg::DownloadText, [&](ui::Progress& progress) {
    for (const int32_t id : list) {
      if (SymbolEntry* e = symbols_.find(id)) e->state = ValueState::PendingDownload;
    }
    for (size_t i = 0; i < list.size() && !progress.cancelRequested(); ++i) {
      // A write marks every variable of its request Loaded: each request
      // is sent once, however many listed variables it carries.
      const SymbolEntry* e = symbols_.find(list[i]);
      if (e && e->state == ValueState::PendingDownload) {
        last = transfer_.writeVariable(list[i]);
        if (last != 1) return;
      }
      report(progress, i + 1, list.size());
    }
  });
  if (finished && last == 1) menus_.runActions(*menu, +Tag::PostWriteActions);
  return true;
}

int MenuTransfer::processVariable(int32_t operation, int32_t id, uint32_t flags, const std::string& path,
                                  platform::KeyFile* saved) {
  const SymbolEntry* e = symbols_.find(id);
  const bool changed = e && e->state == ValueState::Changed;
  switch (operation) {
    case process::Read:
      if ((flags & process::KeepChanged) && changed) return 1;
      return transfer_.readVariable(id);
    case process::Write:
      if ((flags & process::OnlyChanged) && !changed) return 1;
      return transfer_.writeVariable(id);
    case process::Save:
      // A name that cannot be a key is lost, as a key that cannot be written.
      saved->set(msg::ConfigurationSection, description_.nameById(id), variables_.valueText(id));
      return 1;
    case process::Restore:
      return variables_.assignText(id, platform::readKey(msg::ConfigurationSection, description_.nameById(id), path))
                 ? 1
                 : 0;
    case process::Nothing:
      return 1;
    default:
      ui_.errorBox(msg::ProcessTag);
      return 0;
  }
}

int MenuTransfer::processMenu(int32_t operation, const EddNode* menu, uint32_t flags,
                              const std::string& configurationPath) {
  if (!menu) {
    ui_.errorBox(msg::NoProcessMenu);
    return 1;
  }
  const bool withActions = !(flags & process::OnlyChanged);
  auto runActions = [&](uint16_t readTag, uint16_t writeTag) {
    if (operation == process::Read) {
      menus_.runActions(*menu, readTag);
    } else if (operation == process::Write) {
      menus_.runActions(*menu, writeTag);
    } else {
      ui_.errorBox(msg::ProcessActions);
    }
  };
  if (withActions) runActions(+Tag::PreReadActions, +Tag::PreWriteActions);

  // Saved values are collected and written once, not one file rewrite per key.
  std::optional<platform::KeyFile> saved;
  if (operation == process::Save) saved = platform::KeyFile::load(configurationPath);
  int result = 1;
  for (const MenuItem& item : menus_.items(*menu)) {
    if (!item.isReference() || !item.object) continue;
    std::vector<int32_t> list;
    menus_.expand(*item.object, list, ListKind::Fixed);
    for (const int32_t id : list) {
      result = processVariable(operation, id, flags, configurationPath, saved ? &*saved : nullptr);
      if (result == 0) break;
    }
    if (result == 0) break;
  }
  // Keys already set are kept even when a later variable stopped the run.
  if (saved && !saved->save(configurationPath)) result = 0;
  if (result == 1 && withActions) runActions(+Tag::PostReadActions, +Tag::PostWriteActions);
  return result;
}

}  // namespace tavrin::model
