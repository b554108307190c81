#pragma once
// A hash map from 64-bit keys to 32-bit values for the per-method work: cleared in constant
// time (a generation count marks the live slots), so that the thousands of small methods of a
// program do not each pay for the storage one large method needed.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cl::usage {

class FlatMap {
public:
    void Clear() noexcept
    {
        ++generation_;
        size_ = 0;
        if (generation_ == 0) {  // wrapped: old stamps could look live again
            for (Slot& s : slots_)
                s.generation = 0;
            generation_ = 1;
        }
    }

    // Forgets every key and makes room for `count` keys without growing: for a map whose size
    // is known roughly beforehand, so that it is not rehashed at every doubling on the way.
    void Reserve(std::size_t count)
    {
        std::size_t slots = 64;
        while (slots < count * 2 + 2)
            slots *= 2;
        if (slots <= slots_.size())
            return;
        Clear();
        slots_.assign(slots, Slot{});
    }

    // The value at `key`, inserting `value` when there is none; `inserted` says which.
    uint32_t& FindOrInsert(uint64_t key, uint32_t value, bool& inserted)
    {
        if ((size_ + 1) * 2 > slots_.size())
            Grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = Mix(key) & mask;; at = (at + 1) & mask) {
            Slot& s = slots_[at];
            if (s.generation != generation_) {
                s = {key, value, generation_};
                ++size_;
                inserted = true;
                return s.value;
            }
            if (s.key == key) {
                inserted = false;
                return s.value;
            }
        }
    }

    const uint32_t* Find(uint64_t key) const noexcept
    {
        if (slots_.empty())
            return nullptr;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = Mix(key) & mask;; at = (at + 1) & mask) {
            const Slot& s = slots_[at];
            if (s.generation != generation_)
                return nullptr;
            if (s.key == key)
                return &s.value;
        }
    }

private:
    struct Slot {
        uint64_t key = 0;
        uint32_t value = 0;
        uint32_t generation = 0;
    };

    static std::size_t Mix(uint64_t key) noexcept
    {
        key ^= key >> 33;
        key *= 0xFF51AFD7ED558CCDull;
        key ^= key >> 33;
        return static_cast<std::size_t>(key);
    }

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        const uint32_t live = generation_;
        generation_ = 1;
        size_ = 0;
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.generation != live)
                continue;
            std::size_t at = Mix(s.key) & mask;
            while (slots_[at].generation == generation_)
                at = (at + 1) & mask;
            slots_[at] = {s.key, s.value, generation_};
            ++size_;
        }
    }

    std::vector<Slot> slots_;
    uint32_t generation_ = 1;
    std::size_t size_ = 0;
};

}  // namespace cl::usage
