// The ordered list that holds the live pointers and the queued writes.
//
// Records lie in an array of fixed blocks, in list order, so a pass walks memory straight
// through and the processor can load ahead of it; a record never moves while a pass may
// hold it. A removed record only loses its flag and stays where it is until release(): a
// pass skips it, and a step may keep reading its own removed record.
//
// The pass rules every caller relies on follow from that shape:
//  1. a pass moves on before it hands a record out, so the record handed out may be removed;
//  2. a record removed before the pass reaches it is not visited;
//  3. records appended during a pass are visited later in it, except those appended while the
//     record that was last when handed out is being visited (the pass is already home);
//  4. after a clear the running pass visits nothing more.
//
// release() closes the gaps the removed records left, keeping the order, once they make up a
// quarter of the array (and always at its end), so closing them costs a few moves a removal.
// The blocks stay allocated, so a program that keeps its pointer count steady allocates
// nothing once it has warmed up.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/nocopy.h"

namespace tarvex {

template <class T, std::size_t blocksize = 1024> class plist : nocopy {
  // The record is a base of its entry, so a record's own address leads back to its entry.
  struct entry : T {
    bool live = false;
    uint32_t at = 0; // the entry's place in the array
  };

public:
  plist() = default;

  // Appends a fresh record at the tail and returns it.
  template <class... Args> T& append(Args&&... args) {
    if (size == blocks.size() * blocksize) blocks.push_back(std::make_unique<entry[]>(blocksize));
    entry& e = slot(size);
    static_cast<T&>(e) = T{std::forward<Args>(args)...};
    e.live = true;
    e.at = static_cast<uint32_t>(size++);
    ++live;
    return e;
  }

  // Takes the record out of the list; a record already out is left alone.
  void remove(T& rec) {
    entry& e = static_cast<entry&>(rec);
    if (!e.live) return;
    e.live = false;
    --live;
    ++pending;
  }

  // remove() for a pass stepped in parts at once, which must not share the counts: takes
  // the record out and says whether it was in, and unlisted() counts all those taken out.
  bool unlist(T& rec) {
    entry& e = static_cast<entry&>(rec);
    const bool was = e.live;
    e.live = false;
    return was;
  }
  void unlisted(std::size_t n) {
    live -= n;
    pending += n;
  }

  bool contains(const T& rec) const { return static_cast<const entry&>(rec).live; }

  // A record's serial: a small number for an index to hold instead of an address, never 0.
  // It stays the record's own until release() moves the record, which says so.
  uint32_t serial(const T& rec) const { return static_cast<const entry&>(rec).at + 1; }
  // The record of a serial given out before.
  T& record(uint32_t serial) const { return slot(serial - 1); }

  // Takes every record out; a running pass then visits nothing more.
  void clear() {
    for (std::size_t i = 0; i < size; ++i)
      remove(slot(i));
    ++clears;
  }

  std::size_t count() const { return live; }
  // The records the list holds: the live ones and those removed since the last release.
  std::size_t held() const { return live + pending; }
  // The bytes of the blocks the list has allocated, in use or spare.
  std::size_t bytes() const {
    return blocks.size() * blocksize * sizeof(entry) + blocks.capacity() * sizeof(blocks[0]);
  }

  // Hands the places of the records removed so far back for reuse, closing the gaps when
  // they are many; `moved(record, oldserial)` hears of every record that changed its place.
  // Only call it while no pass is running and no step still reads a removed record.
  template <class F> void release(F&& moved) {
    pending = 0;
    while (size > 0 && !slot(size - 1).live)
      --size;
    if ((size - live) * 16 <= size) return;
    std::size_t to = 0;
    for (std::size_t from = 0; from < size; ++from) {
      entry& e = slot(from);
      if (!e.live) continue;
      if (from != to) {
        entry& into = slot(to);
        into = e;
        into.at = static_cast<uint32_t>(to);
        e.live = false;
        moved(static_cast<T&>(into), static_cast<uint32_t>(from + 1));
      }
      ++to;
    }
    size = to;
  }
  void release() {
    release([](T&, uint32_t) {});
  }

  // A pass in list order. It moves on before it hands a record out, skips removed records,
  // and ends at the tail as it stands, or when the list is cleared.
  class pass {
  public:
    explicit pass(const plist& of) : list(&of), clears(of.clears) {}
    T* next() {
      if (home || clears != list->clears) return nullptr;
      const std::size_t at = list->nextlive(cursor);
      if (at == list->size) return nullptr;
      // The cursor moves to the live record after this one as the list stands now, so
      // records appended while the last one is visited come after the pass's end.
      cursor = list->nextlive(at + 1);
      home = cursor == list->size;
      return &list->slot(at);
    }
    // The record `distance` places on from the cursor, live or not, for loading memory ahead
    // of the pass; null past the tail.
    const T* ahead(std::size_t distance) const {
      return cursor + distance < list->size ? &list->slot(cursor + distance) : nullptr;
    }

  private:
    const plist* list;
    std::size_t cursor = 0;
    uint64_t clears;
    bool home = false;
  };

  // The places in use, removed records' included; parts of a pass split them.
  std::size_t places() const { return size; }

  // A pass over the places from..to-1 of a list that gains no records meanwhile: the live
  // records in order, each checked as it is reached.
  class range {
  public:
    range(const plist& of, std::size_t from, std::size_t to) : list(&of), cursor(from), end(to) {}
    T* next() {
      while (cursor < end) {
        entry& e = list->slot(cursor++);
        if (e.live) return &e;
      }
      return nullptr;
    }
    // As pass::ahead.
    const T* ahead(std::size_t distance) const {
      return cursor + distance < end ? &list->slot(cursor + distance) : nullptr;
    }
    // The place of the record next() handed out last (its serial less one).
    std::size_t place() const { return cursor - 1; }

  private:
    const plist* list;
    std::size_t cursor, end;
  };

  pass begin_pass() const { return pass(*this); }

  // Calls f for every live record in order, as a pass does; f must leave the list as it is.
  // Block by block, not through a pass: copying the list for a past tick is a walk of this.
  template <class F> void each(F&& f) const {
    for (std::size_t b = 0, first = 0; first < size; ++b, first += blocksize) {
      entry* e = blocks[b].get();
      for (entry* const end = e + std::min(blocksize, size - first); e != end; ++e)
        if (e->live) f(static_cast<T&>(*e));
    }
  }

private:
  entry& slot(std::size_t i) const { return blocks[i / blocksize][i % blocksize]; }
  // The place of the first live record from place i on; `size` when there is none.
  std::size_t nextlive(std::size_t i) const {
    while (i < size && !slot(i).live)
      ++i;
    return i;
  }

  std::size_t size = 0; // places in use, the removed records' included
  std::size_t live = 0;
  std::size_t pending = 0; // removed since the last release
  uint64_t clears = 0;
  std::vector<std::unique_ptr<entry[]>> blocks;
};

} // namespace tarvex
