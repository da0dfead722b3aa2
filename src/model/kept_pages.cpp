// kept_pages.cpp: node lists kept by page number (see kept_pages.h).
#include "model/kept_pages.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

struct KeptPages {
  std::vector<Drosa> heads;       // by page number; NIL where none is kept
  std::vector<uint32_t> serials;  // by page number: which keeping of the page its list is
  uint32_t last_serial = 0;
  std::string key;     // the state the lists were made in
  uint32_t count = 0;  // the change count they were made at
  long nodes = 0;
  // A page kept as the elements of a list still in use, taken over when they leave it.
  int32_t waiting_page = 0;
  Drosa waiting_head = NIL;
  long waiting_length = 0;
};

KeptPages kept;

// The pages whose lists are lent to another thread (see kept_page_lend).
std::mutex lending;
std::condition_variable given_back;
std::vector<int32_t> lent;

// Waits until the page's list is not lent.
void wait_until_given_back(size_t page) {
  std::unique_lock held(lending);
  given_back.wait(
      held, [page] { return std::find(lent.begin(), lent.end(), int32_t(page)) == lent.end(); });
}

void set_head(size_t page, Drosa head) {
  if (kept.serials.size() < kept.heads.size()) kept.serials.resize(kept.heads.size(), 0);
  kept.heads[page] = head;
  kept.serials[page] = ++kept.last_serial;
}

long list_length(Drosa head) {
  long n = 0;
  for (Drosa p = head; p; p = p->xnext) ++n;
  return n;
}

void forget_waiting() {
  kept.nodes -= kept.waiting_length;
  kept.waiting_page = 0;
  kept.waiting_head = NIL;
  kept.waiting_length = 0;
}

void forget_page(size_t page) {
  if (kept.waiting_page > 0 && page == size_t(kept.waiting_page)) forget_waiting();
  if (page >= kept.heads.size() || !kept.heads[page]) return;
  wait_until_given_back(page);
  kept.nodes -= list_length(kept.heads[page]);
  destroy_Drosa_list(kept.heads[page]);
  kept.heads[page] = NIL;
}

// Whether the kept lists were made in the state `key` and the piece has not changed since.
bool holds(const std::string& key) { return kept.count == piece_change_count && kept.key == key; }

Drosa copy_list(Drosa head, long* length) {
  Drosa first = copyDrosa(head), last = first;
  *length = 1;
  for (Drosa p = head->xnext; p; p = p->xnext, ++*length) {
    Drosa copy = copyDrosa(p);
    last->xnext = copy;
    copy->xback = last;
    last = copy;
  }
  first->xback = last->xnext = NIL;
  return first;
}

// The waiting page's list is copied where it stands: its elements stay in use.
void copy_waiting() {
  if (!kept.waiting_page) return;
  const size_t page = size_t(kept.waiting_page);
  long copied = 0;
  set_head(page, copy_list(kept.waiting_head, &copied));
  kept.nodes += copied - kept.waiting_length;
  kept.waiting_page = 0;
  kept.waiting_head = NIL;
  kept.waiting_length = 0;
}

}  // namespace

uint32_t piece_change_count = 0;

void count_piece_change() { ++piece_change_count; }

void keep_page_list(int32_t page, Drosa head, const std::string& key, uint32_t count,
                    bool until_replaced) {
  if (page < 1 || !head || count != piece_change_count) return;
  if (!holds(key)) {
    forget_kept_pages();
    kept.key = key;
    kept.count = piece_change_count;
  }
  forget_page(size_t(page));
  copy_waiting();
  const long length = list_length(head);
  if (kept.nodes + length > KEPT_PAGE_NODES_MOST) return;
  if (kept.heads.size() <= size_t(page)) kept.heads.resize(size_t(page) + 1, NIL);
  if (until_replaced) {
    kept.waiting_page = page;
    kept.waiting_head = head;
    kept.waiting_length = length;
    kept.nodes += length;
    return;
  }
  long copied = 0;
  set_head(size_t(page), copy_list(head, &copied));
  kept.nodes += copied;
}

int32_t take_waiting_list(Drosa head) {
  if (!kept.waiting_page || head != kept.waiting_head) return 0;
  Drosa own = copyDrosa(head), first = head->xnext;
  own->xnext = first;
  if (first) first->xback = own;
  head->xnext = NIL;
  const int32_t page = kept.waiting_page;
  set_head(size_t(page), own);
  kept.waiting_page = 0;
  kept.waiting_head = NIL;
  kept.waiting_length = 0;
  return page;
}

void settle_waiting_list() { copy_waiting(); }

Drosa kept_page_list(int32_t page, const std::string& key) {
  if (kept.nodes == 0 || page < 1 || size_t(page) >= kept.heads.size()) return NIL;
  if (!holds(key)) {
    forget_kept_pages();
    return NIL;
  }
  if (page == kept.waiting_page) copy_waiting();
  return kept.heads[size_t(page)];
}

void forget_kept_pages_from(int32_t page, uint32_t count) {
  if (count != kept.count) {
    forget_kept_pages();
    return;
  }
  for (size_t p = size_t(std::max<int32_t>(page, 0)); p < kept.heads.size(); ++p) forget_page(p);
  kept.count = piece_change_count;
}

void forget_kept_pages() {
  if (kept.waiting_page) forget_waiting();
  for (size_t p = 0; p < kept.heads.size(); ++p) forget_page(p);
  kept.heads.clear();
  kept.nodes = 0;
}

long kept_page_nodes() { return kept.nodes; }

void reset_kept_pages() {
  {
    std::unique_lock held(lending);
    given_back.wait(held, [] { return lent.empty(); });
  }
  const uint32_t serial = kept.last_serial;  // serials are never given twice
  kept = KeptPages{};
  kept.last_serial = serial;
}

Drosa kept_page_lend(int32_t page, uint32_t* serial) {
  *serial = kept_page_serial(page);
  const Drosa head = *serial ? kept.heads[size_t(page)] : NIL;
  if (head) {
    std::lock_guard held(lending);
    lent.push_back(page);
  }
  return head;
}

void kept_page_give_back(int32_t page) {
  {
    std::lock_guard held(lending);
    const auto found = std::find(lent.begin(), lent.end(), page);
    if (found != lent.end()) lent.erase(found);
  }
  given_back.notify_all();
}

uint32_t kept_page_serial(int32_t page) {
  // The heads may be fewer than the serials: a forget of every page empties them.
  return page >= 1 && size_t(page) < kept.heads.size() && kept.heads[size_t(page)]
             ? kept.serials[size_t(page)]
             : 0;
}
