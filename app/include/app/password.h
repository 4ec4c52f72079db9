// The password record pw.bin and the choice of user type at connect.
//
// pw.bin holds 32 bytes: the password's bytes followed by zero bytes (a
// password of 32 bytes has no terminator). It is written atomically and
// readable by its owner only. The specialist user type (0) needs the stored
// password whenever it is not empty; the maintenance type (1) never does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::app {

inline constexpr size_t kPasswordSize = 32;
using PasswordRecord = std::array<uint8_t, kPasswordSize>;

// A typed password as the record compares it: at most 32 bytes, cut at a
// UTF-8 character boundary, zero-filled.
PasswordRecord passwordRecordOf(std::string_view text);
bool isEmpty(const PasswordRecord& record);

// Reads pw.bin (creating it empty when missing): its first 32 bytes, zero
// filled. An unreadable file reads as the empty password.
PasswordRecord readPasswordRecord(const std::string& path);
bool writePasswordRecord(const std::string& path, const PasswordRecord& record);

enum class UserType : int { None = -1, Specialist = 0, Maintenance = 1 };

// The user choice dialog's two entries, in order.
inline constexpr std::array<std::string_view, 2> kUserTypeEntries{"Manufacture Version", "User version"};

// The dialog's OK as a rule: selection is the checked entry (-1: none).
// Shows the message and gives nothing when the dialog has to stay open.
std::optional<UserType> acceptUserChoice(int selection, std::string_view password, const std::string& passwordFile,
                                         ui::UserInterface& ui);

// The user choice through the seam: one call answers the type and the
// password together (chooseUser), checked by acceptUserChoice. None when cancelled. After three wrong
// passwords in a row the choice counts as cancelled, so that a front end
// that answers the same way every time cannot keep it open for ever.
UserType chooseUserType(const std::string& passwordFile, ui::UserInterface& ui);

// The password dialog's OK: true when the new password was stored; false
// (with its message) when the dialog has to stay open. A record that cannot
// be written is reported, never passed off as a changed password.
bool acceptPasswordChange(std::string_view oldPassword, std::string_view newPassword, std::string_view again,
                          const std::string& passwordFile, ui::UserInterface& ui);

// The change-password command through the seam: the three fields until OK
// succeeds or the person cancels (three failed attempts count as cancelled).
// True when a new password was stored.
bool changePassword(const std::string& passwordFile, ui::UserInterface& ui);

}  // namespace tavrin::app
