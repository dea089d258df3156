// What calls that produce an area answer: an error, or the kind of area made. The
// window system (scrolling) and the drawing layer (regions) both answer with them.
#pragma once

inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
