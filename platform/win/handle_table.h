#pragma once
// Slots of objects named by handles. A handle packs the slot index (plus
// one, so no handle is zero) with the slot's generation; freeing a slot
// bumps its generation, so a stale handle never names a later object that
// reuses the slot.

#include <cstdint>
#include <memory>
#include <vector>

namespace plat::win::detail {

template <class T>
class HandleTable {
 public:
  static constexpr unsigned kIndexBits = 24;
  static constexpr std::uintptr_t kIndexMask = (std::uintptr_t{1} << kIndexBits) - 1;

  std::uintptr_t add(std::shared_ptr<T> obj) {
    std::uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      index = static_cast<std::uint32_t>(slots_.size());
      slots_.push_back({});
    }
    slots_[index].obj = std::move(obj);
    return encode(index, slots_[index].gen);
  }

  std::shared_ptr<T> get(std::uintptr_t handle) const {
    const Slot* s = slot(handle);
    return s ? s->obj : nullptr;
  }

  T* raw(std::uintptr_t handle) const {
    const Slot* s = slot(handle);
    return s ? s->obj.get() : nullptr;
  }

  bool remove(std::uintptr_t handle) {
    Slot* s = const_cast<Slot*>(slot(handle));
    if (!s) return false;
    s->obj.reset();
    s->gen = (s->gen + 1) & kGenMask;
    if (s->gen == 0) s->gen = 1;
    free_.push_back(static_cast<std::uint32_t>((handle & kIndexMask) - 1));
    return true;
  }

  // Handles of all live objects, in slot order.
  std::vector<std::uintptr_t> handles() const {
    std::vector<std::uintptr_t> out;
    for (std::uint32_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].obj) out.push_back(encode(i, slots_[i].gen));
    return out;
  }

  std::size_t size() const {
    std::size_t n = 0;
    for (const auto& s : slots_) n += s.obj ? 1 : 0;
    return n;
  }

  void clear() {
    for (std::uint32_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].obj) remove(encode(i, slots_[i].gen));
  }

 private:
  // Handles stay below 2^31, as the system's do: programs keep them in
  // 32-bit fields (a bitmap picture's value, a value read back as a signed
  // long), which must give back the same handle.
  static constexpr std::uintptr_t kGenMask = 0x7F;
  struct Slot {
    std::uintptr_t gen = 1;
    std::shared_ptr<T> obj;
  };
  static std::uintptr_t encode(std::uint32_t index, std::uintptr_t gen) {
    return (gen << kIndexBits) | (std::uintptr_t{index} + 1);
  }
  const Slot* slot(std::uintptr_t handle) const {
    std::uintptr_t idx = handle & kIndexMask;
    if (idx == 0 || idx > slots_.size()) return nullptr;
    const Slot& s = slots_[idx - 1];
    if (!s.obj || s.gen != (handle >> kIndexBits)) return nullptr;
    return &s;
  }
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_;
};

}  // namespace plat::win::detail
