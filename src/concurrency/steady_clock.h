#pragma once

// The clock and duration types without <chrono> itself: <chrono> holds a "\u00b5s" literal that the GBK
// execution character set cannot take. libstdc++ keeps the types in <bits/chrono.h>, which <thread> and
// <mutex> use the same way.
#if __has_include(<bits/chrono.h>)
#include <bits/chrono.h>
#else
#include <chrono>
#endif
