#include "images/shuffle_paths.h"

#include <algorithm>
#include <utility>

#include "display/random.h"

void shufflePaths(std::vector<std::string>& paths) {
    if (paths.size() < 2) return;
    const int last = static_cast<int>(std::min<std::size_t>(paths.size() - 1, 0x7FFFFFFE));
    const auto draw = paths.size() > kNarrowShuffleLimit ? wideUniformInt : uniformInt;
    for (int i = 0; i < last; ++i) {
        const int j = draw(i, last);
        std::swap(paths[static_cast<std::size_t>(i)], paths[static_cast<std::size_t>(j)]);
    }
}
