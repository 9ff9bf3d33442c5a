#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The shuffle behind the provider's passes: a forward Fisher-Yates shuffle,
// each exchange drawn over [i, last]. Lists of up to 32,768 entries draw
// with uniformInt, exactly as the saver always has (its limited reach over
// wide ranges included). Longer lists draw with wideUniformInt: with 15 bits
// an entry could move only about 32,768 places, and a long pass would serve
// the folders walked first before the rest.
void shufflePaths(std::vector<std::string>& paths);

// Lists longer than this shuffle with the wide draw.
inline constexpr std::size_t kNarrowShuffleLimit = 32768;
