#include "play_queue.h"

#include <cstddef>

namespace zirvak {

void PlayQueue::Replace(std::vector<std::string> files, std::map<std::string, std::string> titles) {
    files_ = std::move(files);
    titles_ = std::move(titles);
    current_.reset();
}

std::string PlayQueue::ListedTitle(const std::string& path) const {
    const auto title = titles_.find(path);
    return title == titles_.end() ? std::string() : title->second;
}

std::string PlayQueue::CurrentFile() const {
    return current_ ? files_[*current_] : std::string();
}

bool PlayQueue::MoveTo(size_t index) {
    if (index >= files_.size()) return false;
    current_ = index;
    return true;
}

void PlayQueue::Remove(size_t index) {
    if (index >= files_.size()) return;
    files_.erase(files_.begin() + std::ptrdiff_t(index));
    if (!current_) return;
    if (*current_ == index)
        current_.reset();
    else if (*current_ > index)
        --*current_;
}

std::optional<size_t> PlayQueue::NextIndex() const {
    const size_t next = current_ ? *current_ + 1 : 0;
    if (next >= files_.size()) return std::nullopt;
    return next;
}

std::optional<size_t> PlayQueue::PreviousIndex(uint32_t positionMs) const {
    if (!current_) return std::nullopt;
    if (positionMs >= kRestartWithinMs || *current_ == 0) return *current_;
    return *current_ - 1;
}

}  // namespace zirvak
