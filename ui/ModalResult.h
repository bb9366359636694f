#pragma once
// Modal results of this program's dialogs (QDialog::done / result()). 0 is "none"; Cancel is
// 2, so a dialog must be closed with done(kModalCancel) to count as cancelled.

namespace velor {

inline constexpr int kModalNone = 0;
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;
inline constexpr int kModalYes = 6;
inline constexpr int kModalNo = 7;

}  // namespace velor
