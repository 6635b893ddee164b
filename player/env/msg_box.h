#pragma once
// COrv_MsgBox: the player's standard error box. The caller fills the fields
// and calls Show; texts come from the interface language by string id.
//
// Kinds (P is string 9007 "Error Code: ", M the message, N.S the error
// pair, X the extra text; C the caption):
//   0  "P N.S\n\nM"               stop icon
//   1  "P N.S\n\nM \n\n X"        stop icon
//   2  "P N.S\n\nX \n\n M"        stop icon
//   3  "M"                        exclamation icon
//   4  "P N.S\n\nM \n\n X"        stop icon and Help (helpContext), in the
//                                 application's box under its caption
//   5  "X M"                      exclamation icon
//   6  "P N.S\n\nX"               stop icon (no message)
//   other: nothing is shown.
// All boxes are task-modal with an OK button; all but kind 4 have no owner
// and caption C.

#include <cstdint>
#include <string>

namespace orv {

inline constexpr int kStrErrorCaption = 9002;
inline constexpr int kStrWarningCaption = 9003;
inline constexpr int kStrQuestionCaption = 9004;
inline constexpr int kStrErrorPrefix = 9007;

// Ends the process at once with exit code `n`: 1..255 as they are; any
// other non-zero number ends with 1 after printing the number on standard
// error. Nothing of the program is cleaned up.
[[noreturn]] void exitWithCode(int32_t n);

// While one lives, boxes name `shown` where their extra text names
// `internal`: the load switch works on its copy of a file, and the user is
// told of the file he or she named.
class ShownFileName {
 public:
  ShownFileName(std::string internal, std::string shown);
  ~ShownFileName();
  ShownFileName(const ShownFileName&) = delete;
  ShownFileName& operator=(const ShownFileName&) = delete;

  // `text` with every internal name of the living instances replaced.
  static std::string Apply(std::string text);

 private:
  std::string internal_;
};

}  // namespace orv

class COrv_MsgBox {
 public:
  COrv_MsgBox() = default;
  virtual ~COrv_MsgBox() = default;

  // Shows the box and answers the error number; with the exit flag at 1
  // the process ends after the box with the error number as its exit code
  // (see orv::exitWithCode), also when the kind shows nothing.
  int32_t Show();
  // The text the box shows for the current fields; empty for a kind that
  // shows nothing.
  std::string FormatText() const;

  int32_t m_nCaptionId = orv::kStrErrorCaption;
  int32_t m_nMessageId = 0;
  int32_t m_nErrorNumber = 0;
  int32_t m_nSubNumber = 0;
  int32_t m_nExitFlag = 0;
  int32_t m_nKind = 0;
  int32_t m_nHelpContext = 0;
  std::string m_strExtraText;  // UTF-8
};
