// The ordered list that holds the live pointers and the queued writes.
//
// A circular doubly linked list with one sentinel. Records live inside their entries, so the
// list owns them and removal by identity is constant time. An entry that leaves the list keeps
// its link to its former next entry and stays allocated until release(): a pass whose cursor
// stands on it walks on from there, and a step may keep reading its own removed record.
//
// The pass rules every caller relies on follow from that shape:
//  1. a pass moves on before it hands a record out, so the record handed out may be removed;
//  2. a record removed before the pass reaches it is not visited;
//  3. records appended during a pass are visited later in it, except those appended while the
//     record that was last when handed out is being visited (the cursor is already home);
//  4. after a clear the running pass visits nothing more.
//
// Entries come from blocks of `blocksize` owned by the list and go back to a free chain on
// release(), so a program that keeps its pointer count steady allocates nothing once it has
// warmed up.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tarvex {

template <class T, std::size_t blocksize = 1024> class plist {
  // The links of an entry, and all the sentinel is.
  struct link {
    link* next = nullptr;
    // While linked: the previous entry. Once removed the pass never looks back, so the field
    // then chains the removed entries (and later the spare ones) without a side container.
    link* prev = nullptr;
  };
  // The record is a base of its entry, so a record's own address leads back to its entry.
  // The links come first so the flag can sit in the record's tail padding.
  struct entry : link, T {
    bool live = false;
    uint32_t serial = 0; // 1 + the entry's place in the blocks, fixed for its lifetime
  };

  static entry* of(link* l) { return static_cast<entry*>(l); }

public:
  plist() { sentinel.next = sentinel.prev = &sentinel; }
  plist(const plist&) = delete;
  plist& operator=(const plist&) = delete;

  // Appends a fresh record at the tail and returns it.
  template <class... Args> T& append(Args&&... args) {
    entry* e = take();
    static_cast<T&>(*e) = T{std::forward<Args>(args)...};
    e->live = true;
    e->prev = sentinel.prev;
    e->next = &sentinel;
    sentinel.prev->next = e;
    sentinel.prev = e;
    ++live;
    return *e;
  }

  // Takes the record out of the list; a record already out is left alone. Its entry keeps
  // its next link, so a cursor standing on it still finds the way on.
  void remove(T& rec) {
    entry* e = owner(rec);
    if (!e->live) return;
    e->live = false;
    e->prev->next = e->next;
    e->next->prev = e->prev;
    --live;
    ++pending;
    e->prev = removed;
    removed = e;
  }

  bool contains(const T& rec) const { return static_cast<const entry&>(rec).live; }

  // A record's serial: a small number for an index to hold instead of an address. It stays
  // the record's own until the list is gone, and is never 0.
  uint32_t serial(const T& rec) const { return static_cast<const entry&>(rec).serial; }
  // The record of a serial given out before.
  T& record(uint32_t serial) const {
    const std::size_t at = serial - 1;
    return blocks[at / blocksize][at % blocksize];
  }

  // Unlinks every entry from the head; a running pass then visits nothing more.
  void clear() {
    while (sentinel.next != &sentinel)
      remove(*of(sentinel.next));
  }

  std::size_t count() const { return live; }
  // The records the list holds: the live ones and those removed since the last release.
  std::size_t held() const { return live + pending; }
  // The bytes of the blocks the list has allocated, in use or spare.
  std::size_t bytes() const {
    return blocks.size() * blocksize * sizeof(entry) + blocks.capacity() * sizeof(blocks[0]);
  }

  // Hands the records removed so far back for reuse. Only call it while no pass is running
  // and no step still reads a removed record.
  void release() {
    pending = 0;
    while (removed) {
      entry* e = removed;
      removed = of(e->prev);
      static_cast<T&>(*e) = T{}; // drops what the record owned (a write's text)
      e->next = nullptr;
      e->prev = spare;
      spare = e;
    }
  }

  // A pass in list order. It moves on before it hands a record out, skips removed records,
  // and ends at the sentinel.
  class pass {
  public:
    explicit pass(const plist& list) : cursor(list.sentinel.next), end(&list.sentinel) {}
    T* next() {
      while (cursor != end) {
        entry* e = of(cursor);
        cursor = e->next;
        if (e->live) return e;
      }
      return nullptr;
    }

  private:
    link* cursor;
    const link* end;
  };

  pass begin_pass() const { return pass(*this); }

  // Calls f for every live record in order, as a pass does.
  template <class F> void each(F&& f) const {
    pass p(*this);
    while (T* r = p.next())
      f(*r);
  }

private:
  static entry* owner(T& rec) { return static_cast<entry*>(&rec); }

  entry* take() {
    if (!spare) {
      blocks.push_back(std::make_unique<entry[]>(blocksize));
      entry* b = blocks.back().get();
      const std::size_t first = (blocks.size() - 1) * blocksize + 1;
      for (std::size_t i = blocksize; i-- > 0;) {
        b[i].serial = static_cast<uint32_t>(first + i);
        b[i].prev = spare;
        spare = &b[i];
      }
    }
    entry* e = spare;
    spare = of(e->prev);
    return e;
  }

  // Holds no record; a pass ends when it gets here. (A sentinel that was a whole entry, with
  // an unused record, had its link cached across the unlinks of clear() by GCC 12 at -O2.)
  link sentinel;
  std::size_t live = 0;
  std::size_t pending = 0;  // removed since the last release
  entry* removed = nullptr; // removed since the last release, newest first
  entry* spare = nullptr;   // ready for reuse
  std::vector<std::unique_ptr<entry[]>> blocks;
};

} // namespace tarvex
