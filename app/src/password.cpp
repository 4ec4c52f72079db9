#include "app/password.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/key_file.h"
#include "ui/user_interface.h"

namespace tavrin::app {
namespace {

constexpr unsigned kOwnerOnly = 0600;
constexpr int kPasswordTries = 3;

void createEmpty(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
  if (fd >= 0) ::close(fd);
}

}  // namespace

PasswordRecord passwordRecordOf(std::string_view text) {
  size_t length = std::min(text.size(), kPasswordSize);
  // Never keep the first bytes of a character whose rest was cut off.
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  PasswordRecord record{};
  std::copy_n(text.begin(), length, record.begin());
  return record;
}

bool isEmpty(const PasswordRecord& record) {
  return std::all_of(record.begin(), record.end(), [](uint8_t b) { return b == 0; });
}

PasswordRecord readPasswordRecord(const std::string& path) {
  if (::access(path.c_str(), F_OK) != 0) createEmpty(path);
  PasswordRecord record{};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(record.data()), static_cast<std::streamsize>(record.size()));
  return record;
}

bool writePasswordRecord(const std::string& path, const PasswordRecord& record) {
  return platform::writeFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(record.data()), record.size()), kOwnerOnly);
}

std::optional<UserType> acceptUserChoice(int selection, std::string_view password, const std::string& passwordFile,
                                         ui::UserInterface& ui) {
  if (selection == 1) return UserType::Maintenance;
  if (selection != 0) {
    ui.message({"WARNING", "WARNING: Please select operation type!", ui::Icon::Warning, ui::Buttons::Ok});
    return std::nullopt;
  }
  const PasswordRecord stored = readPasswordRecord(passwordFile);
  if (!isEmpty(stored) && passwordRecordOf(password) != stored) {
    ui.errorBox("Error: The password is error!");
    return std::nullopt;
  }
  return UserType::Specialist;
}

UserType chooseUserType(const std::string& passwordFile, ui::UserInterface& ui) {
  int wrongPasswords = 0;
  for (;;) {
    const ui::UserChoice choice{"USER choice", {kUserTypeEntries.begin(), kUserTypeEntries.end()},
                                !isEmpty(readPasswordRecord(passwordFile))};
    const auto answer = ui.chooseUser(choice);
    if (!answer) return UserType::None;
    if (auto type = acceptUserChoice(answer->type, answer->password, passwordFile, ui)) return *type;
    if (answer->type == 0 && ++wrongPasswords >= kPasswordTries) return UserType::None;
  }
}

bool acceptPasswordChange(std::string_view oldPassword, std::string_view newPassword, std::string_view again,
                          const std::string& passwordFile, ui::UserInterface& ui) {
  const PasswordRecord fresh = passwordRecordOf(newPassword);
  if (fresh != passwordRecordOf(again)) {
    ui.errorBox("Error: The two passwords you input are different!");
    return false;
  }
  if (passwordRecordOf(oldPassword) != readPasswordRecord(passwordFile)) {
    ui.errorBox("Error: The old password is error!");
    return false;
  }
  if (!writePasswordRecord(passwordFile, fresh)) {
    ui.errorBox("Error: The password could not be stored in " + passwordFile + "!");
    return false;
  }
  return true;
}

bool changePassword(const std::string& passwordFile, ui::UserInterface& ui) {
  for (int tries = 0; tries < kPasswordTries; ++tries) {
    std::array<std::string, 3> fields;
    constexpr std::array<const char*, 3> kLabels{"Old password:", "New password:", "New password again:"};
    for (size_t i = 0; i < fields.size(); ++i) {
      auto typed = ui.prompt({ui::PromptKind::Secret, "Password Setting:", kLabels[i], "", "", ""});
      if (!typed) return false;
      fields[i] = *typed;
    }
    if (acceptPasswordChange(fields[0], fields[1], fields[2], passwordFile, ui)) return true;
  }
  return false;
}

}  // namespace tavrin::app
