// The ordered list that holds the live pointers and the queued writes.
//
// A circular doubly linked list with one sentinel. Records live inside their entries, so the
// list owns them and removal by identity is constant time. An entry that leaves the list keeps
// its link to its former next entry and stays allocated until release(): a pass whose cursor
// stands on it walks on from there, and a step may keep reading its own removed record.
#pragma once
#include <cstddef>
#include <utility>
#include <vector>

namespace tarvex {

template <class T> class plist {
  // The record is the entry's base, so a record's own address leads back to its entry.
  struct entry : T {
    template <class... Args> explicit entry(Args&&... args) : T{std::forward<Args>(args)...} {}
    entry* next = nullptr;
    entry* prev = nullptr;
    bool live = true;
  };

public:
  plist() { sentinel.next = sentinel.prev = &sentinel; }
  plist(const plist&) = delete;
  plist& operator=(const plist&) = delete;
  ~plist() {
    while (sentinel.next != &sentinel) {
      entry* e = sentinel.next;
      sentinel.next = e->next;
      delete e;
    }
    release();
  }

  // Appends a fresh record at the tail and returns it.
  template <class... Args> T& append(Args&&... args) {
    entry* e = new entry(std::forward<Args>(args)...);
    e->prev = sentinel.prev;
    e->next = &sentinel;
    sentinel.prev->next = e;
    sentinel.prev = e;
    ++live;
    return *e;
  }

  // Takes the record out of the list; a record already out is left alone.
  void remove(T& rec) {
    entry* e = owner(rec);
    if (!e->live) return;
    e->live = false;
    e->prev->next = e->next;
    e->next->prev = e->prev;
    --live;
    removed.push_back(e);
  }

  bool contains(const T& rec) const { return owner(const_cast<T&>(rec))->live; }

  // Unlinks every entry from the head; a running pass then visits nothing more.
  void clear() {
    while (sentinel.next != &sentinel) remove(*sentinel.next);
  }

  std::size_t count() const { return live; }

  // Frees the records removed so far. Only call it while no pass is running and no step
  // still reads a removed record.
  void release() {
    for (entry* e : removed) delete e;
    removed.clear();
  }

  // A pass in list order. It moves on before it hands a record out, skips removed records,
  // and ends at the sentinel; records appended while the last one is out are left for the
  // next pass.
  class pass {
  public:
    explicit pass(const plist& list)
        : cursor(list.sentinel.next), end(&list.sentinel) {}
    T* next() {
      while (cursor != end) {
        entry* e = cursor;
        cursor = e->next;
        if (e->live) return e;
      }
      return nullptr;
    }

  private:
    entry* cursor;
    const entry* end;
  };

  pass begin_pass() const { return pass(*this); }

  // Calls f for every live record in order, as a pass does.
  template <class F> void each(F&& f) const {
    pass p(*this);
    while (T* r = p.next()) f(*r);
  }

private:
  static entry* owner(T& rec) { return static_cast<entry*>(&rec); }

  entry sentinel;
  std::size_t live = 0;
  std::vector<entry*> removed;
};

} // namespace tarvex
