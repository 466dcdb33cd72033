#pragma once
// The score view's scroll bar range, 0..kScrollBarMax: the window sets its bar to it, the view
// clamps its offset into it and the transport's follow-scroll stays within it.

namespace kestu {

inline constexpr int kScrollBarMax = 30435;

}  // namespace kestu
