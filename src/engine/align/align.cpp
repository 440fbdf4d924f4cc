#include "align/align.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace linecmp::engine {

// The search's own names, apart from those of the other engine files that a one-file
// program is made of.
namespace aligning {
namespace {

// The steps the searches of one decision may take, for each line a window holds: what
// keeps inputs that share few lines, or share them out of order, near the cost of reading.
constexpr int64_t WORK = 16;

// The edits tried first, before the windows' shared lines are counted.
constexpr int64_t FEW = 32;

// Windows that share fewer than one line in SPARSE are one change, without anchors.
constexpr int64_t SPARSE = 64;

// A stretch of both windows: lines [x0, x1) of the first input's and [y0, y1) of the
// second's, as indices into the windows.
struct stretch {
  int64_t x0, x1, y0, y1;
};

// The windows a search runs over, where the changes it finds go, in window indices, and
// the steps it may still take (a step is a diagonal followed or a line matched on it).
struct search {
  const uint64_t *a, *b;
  std::vector<int64_t> &v;
  std::vector<change> &out;
  int64_t work;
};

// Appends the change of s to out, joined to the last one when the two touch.
void put(std::vector<change> &out, const stretch &s) {
  if (s.x0 == s.x1 && s.y0 == s.y1) return;
  if (!out.empty() && out.back().firstend == s.x0 && out.back().secondend == s.y0) {
    out.back().firstend = s.x1;
    out.back().secondend = s.y1;
    return;
  }
  out.push_back({s.x0, s.x1, s.y0, s.y1});
}

// Where a path of d edits on diagonal k starts, before its run of equal lines: one edit on
// from the further of the paths of d - 1 edits on the diagonals beside it, at at[-1] and
// at[1] (at points at diagonal k's entry).
int64_t onward(const int64_t *at, int64_t k, int64_t d) {
  return (k == -d || (k != d && at[-1] < at[1])) ? at[1] : at[-1] + 1;
}

// Where a shortest edit script of a stretch crosses from its first half to its second, as
// Myers' middle snake finds it from both ends at once: at (x, y) when found; whole when
// the stretch has no line in common, so that its script replaces all of it; over when
// the script needs more edits than the limit.
struct split {
  int64_t x = 0, y = 0;
  bool whole = false, over = false;
};
split middle(search &q, const stretch &s, int64_t limit) {
  const uint64_t *a = q.a + s.x0, *b = q.b + s.y0;
  int64_t n = s.x1 - s.x0, m = s.y1 - s.y0;
  // A script of D edits meets in the middle after (D + 1) / 2 steps from one end.
  int64_t maxd = std::min((n + m + 1) / 2, (limit + 1) / 2 + 1);
  int64_t off = maxd, len = 2 * maxd + 2;
  q.v.assign(size_t(2 * len), -1);
  int64_t *v1 = q.v.data(), *v2 = q.v.data() + len;
  v1[off + 1] = 0;
  v2[off + 1] = 0;
  int64_t delta = n - m;
  bool front = (delta & 1) != 0;
  // Diagonals that have run off an edge of the stretch are not followed again.
  int64_t k1start = 0, k1end = 0, k2start = 0, k2end = 0;
  for (int64_t d = 0; d < maxd; d++) {
    if (q.work < 0) return {0, 0, false, true};
    q.work -= 2 * d + 2;
    for (int64_t k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
      int64_t i = off + k1;
      int64_t x = onward(v1 + i, k1, d);
      int64_t y = x - k1, from = x;
      while (x < n && y < m && a[x] == b[y]) x++, y++;
      q.work -= x - from;
      v1[i] = x;
      if (x > n) {
        k1end += 2;
      } else if (y > m) {
        k1start += 2;
      } else if (front) {
        int64_t j = off + delta - k1;
        if (j >= 0 && j < len && v2[j] != -1 && x >= n - v2[j]) return {s.x0 + x, s.y0 + y, false, false};
      }
    }
    for (int64_t k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
      int64_t i = off + k2;
      int64_t x = onward(v2 + i, k2, d);
      int64_t y = x - k2, from = x;
      while (x < n && y < m && a[n - x - 1] == b[m - y - 1]) x++, y++;
      q.work -= x - from;
      v2[i] = x;
      if (x > n) {
        k2end += 2;
      } else if (y > m) {
        k2start += 2;
      } else if (!front) {
        int64_t j = off + delta - k2;
        if (j >= 0 && j < len && v1[j] != -1 && v1[j] >= n - x)
          return {s.x0 + v1[j], s.y0 + v1[j] - (j - off), false, false};
      }
    }
  }
  // The paths met nowhere in all the edits the stretch can take: nothing in common.
  if (maxd == (n + m + 1) / 2 && q.work >= 0) return {0, 0, true, false};
  return {0, 0, false, true};
}

// Puts a shortest edit script of s into q.out, unless it needs more than limit edits or
// more steps than q has left: then it puts nothing and returns false.
bool script(search &q, stretch s, int64_t limit) {
  while (s.x0 < s.x1 && s.y0 < s.y1 && q.a[s.x0] == q.b[s.y0]) s.x0++, s.y0++;
  while (s.x0 < s.x1 && s.y0 < s.y1 && q.a[s.x1 - 1] == q.b[s.y1 - 1]) s.x1--, s.y1--;
  if (std::abs((s.x1 - s.x0) - (s.y1 - s.y0)) > limit) return false;
  if (s.x0 == s.x1 || s.y0 == s.y1) {
    put(q.out, s);
    return true;
  }
  split at = middle(q, s, limit);
  if (at.over || (at.whole && (s.x1 - s.x0) + (s.y1 - s.y0) > limit)) return false;
  if (at.whole) {
    put(q.out, s);
    return true;
  }
  // Neither half needs more edits than the whole; but either may run out of steps, and
  // then what the first put is taken back, the change it may have joined included.
  size_t mark = q.out.size();
  change joined = mark > 0 ? q.out.back() : change{};
  if (script(q, {s.x0, at.x, s.y0, at.y}, limit) && script(q, {at.x, s.x1, at.y, s.y1}, limit)) return true;
  q.out.resize(mark);
  if (mark > 0) q.out.back() = joined;
  return false;
}

// The fewest edits that take a path from the start of s to its far edge (the end of
// either window), and the point where it meets it; d is -1 when more than limit.
struct reach {
  int64_t d = -1, x = 0, y = 0;
};
reach toedge(search &q, const stretch &s, int64_t limit) {
  const uint64_t *a = q.a + s.x0, *b = q.b + s.y0;
  int64_t n = s.x1 - s.x0, m = s.y1 - s.y0, off = limit + 1;
  q.v.assign(size_t(2 * limit + 3), 0);
  int64_t *v = q.v.data() + off;
  for (int64_t d = 0; d <= limit && q.work >= 0; d++) {
    q.work -= d + 1;
    for (int64_t k = -d; k <= d; k += 2) {
      int64_t x = onward(v + k, k, d);
      int64_t y = x - k, from = x;
      while (x < n && y < m && a[x] == b[y]) x++, y++;
      q.work -= x - from;
      v[k] = x;
      if (x >= n || y >= m) return {d, s.x0 + x, s.y0 + y};
    }
  }
  return {};
}

// The lines of s that occur once in each window's part of it, and match, in the longest
// chain that keeps their order in both: the anchors a search past EDITS edits runs between.
std::vector<std::pair<int64_t, int64_t>> anchors(aligner &al, const uint64_t *a, const uint64_t *b, const stretch &s) {
  // At most two thirds full, where a probe takes about two looks.
  size_t need = size_t((s.x1 - s.x0) + (s.y1 - s.y0)) * 3 / 2 + 2, size = 1;
  while (size < need) size <<= 1;
  al.slots.assign(size, slot{});
  // Hash 0 marks an empty slot; a line whose hash is 0 is just never an anchor.
  auto find = [&](uint64_t h) -> slot & {
    size_t i = size_t(h) & (size - 1);
    while (al.slots[i].hash != 0 && al.slots[i].hash != h) i = (i + 1) & (size - 1);
    return al.slots[i];
  };
  for (int side = 0; side < 2; side++) {
    const uint64_t *w = side == 0 ? a : b;
    int64_t from = side == 0 ? s.x0 : s.y0, to = side == 0 ? s.x1 : s.y1;
    for (int64_t i = from; i < to; i++) {
      if (w[i] == 0) continue;
      slot &e = find(w[i]);
      e.hash = w[i];
      if (e.count[side] < 2) e.count[side]++;
      e.pos[side] = uint32_t(i);
    }
  }
  // In the first window's order, the second's positions; then their longest increasing
  // run, by patience: tails[k] ends the best run of k + 1 found so far.
  std::vector<std::pair<int64_t, int64_t>> once;
  for (int64_t i = s.x0; i < s.x1; i++) {
    if (a[i] == 0) continue;
    const slot &e = find(a[i]);
    if (e.count[0] == 1 && e.count[1] == 1) once.push_back({i, e.pos[1]});
  }
  std::vector<size_t> tails, before(once.size());
  for (size_t i = 0; i < once.size(); i++) {
    auto at = std::lower_bound(tails.begin(), tails.end(), once[i].second,
                               [&](size_t t, int64_t y) { return once[t].second < y; });
    before[i] = at == tails.begin() ? SIZE_MAX : *(at - 1);
    if (at == tails.end()) {
      tails.push_back(i);
    } else {
      *at = i;
    }
  }
  std::vector<std::pair<int64_t, int64_t>> chain;
  for (size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = before[i]) chain.push_back(once[i]);
  std::reverse(chain.begin(), chain.end());
  al.slots.clear();
  return chain;
}

// Puts the changes of s into q.out, s needing more than EDITS edits: the shortest edit
// scripts between its anchors, and each gap that still needs more as one change; the
// alignment is then not exact. With open, s has no far end (the inputs go on past the
// windows): the changes stop at its last anchor; with no anchor, all of s is one change.
// Returns where the changes stop, past the last anchor or at the end of s.
std::pair<int64_t, int64_t> anchored(aligner &al, search &q, const stretch &s, bool open) {
  al.out.exact = false;
  auto chain = anchors(al, q.a, q.b, s);
  int64_t x = s.x0, y = s.y0;
  for (auto [ax, ay] : chain) {
    if (!script(q, {x, ax, y, ay}, al.dmax)) put(q.out, {x, ax, y, ay});
    x = ax + 1, y = ay + 1;
  }
  if (open && !chain.empty()) return {x, y};
  if (open || !script(q, {x, s.x1, y, s.y1}, al.dmax)) put(q.out, {x, s.x1, y, s.y1});
  return {s.x1, s.y1};
}

// How many of the n lines of a may occur among the m of b, by a bit for each line of b in
// 16 per line: an upper bound, over by about one line in 16 of those not shared.
int64_t shared(aligner &al, const uint64_t *a, int64_t n, const uint64_t *b, int64_t m) {
  size_t bits = 64;
  while (bits < size_t(m) * 16) bits <<= 1;
  al.bits.assign(bits / 64, 0);
  auto at = [&](uint64_t h) { return size_t(h >> 20) & (bits - 1); };
  for (int64_t j = 0; j < m; j++) al.bits[at(b[j]) / 64] |= uint64_t{1} << (at(b[j]) % 64);
  int64_t n1 = 0;
  for (int64_t i = 0; i < n; i++) n1 += (al.bits[at(a[i]) / 64] >> (at(a[i]) % 64)) & 1;
  return n1;
}

// Counts the change held back, if any.
void flush(aligner &al) {
  if (!al.open) return;
  al.out.changes++;
  al.removed += al.last.firstend - al.last.first;
  if (al.out.kept.size() < CHANGESKEPT) al.out.kept.push_back(al.last);
  al.open = false;
}

// Counts c, found in window indices, or holds it back while the next may still join it.
void settle(aligner &al, const change &c) {
  change at{al.base[0] + c.first, al.base[0] + c.firstend, al.base[1] + c.second, al.base[1] + c.secondend};
  if (al.open && al.last.firstend == at.first && al.last.secondend == at.second) {
    al.last.firstend = at.firstend;
    al.last.secondend = at.secondend;
    return;
  }
  flush(al);
  al.last = at;
  al.open = true;
}

// Drops the first x lines of the first window and y of the second, settled.
void advance(aligner &al, int64_t x, int64_t y) {
  al.win[0].erase(al.win[0].begin(), al.win[0].begin() + x);
  al.win[1].erase(al.win[1].begin(), al.win[1].begin() + y);
  al.base[0] += x;
  al.base[1] += y;
}

// Settles what the windows decide: all of both once both inputs have ended, else up to
// about their middle, where what follows is still seen.
void decide(aligner &al) {
  std::vector<change> found;
  const uint64_t *a = al.win[0].data(), *b = al.win[1].data();
  const int64_t budget = WORK * int64_t(al.window);
  search q{a, b, al.scratch, found, budget};
  int64_t n = int64_t(al.win[0].size()), m = int64_t(al.win[1].size()), cx = n, cy = m;
  if (al.ended[0] && al.ended[1]) {
    if (!script(q, {0, n, 0, m}, al.dmax)) {
      q.work = budget;
      anchored(al, q, {0, n, 0, m}, false);
    }
  } else if ((al.ended[0] && n == 0) || (al.ended[1] && m == 0)) {
    // What the other input has from here on can only be added.
    put(found, {0, n, 0, m});
  } else {
    int64_t p = 0;
    while (p < n && p < m && a[p] == b[p]) p++;
    int64_t half = int64_t(al.window / 2);
    // A few edits first, as most changes are; then, unless the windows share too few lines
    // for a path of al.dmax edits to reach their edge, as many as al.dmax.
    reach r = toedge(q, {p, n, p, m}, std::min<int64_t>(al.dmax, FEW));
    int64_t common = -1;
    if (r.d < 0) {
      common = shared(al, a + p, n - p, b + p, m - p);
      if (std::min(n, m) - p - common <= al.dmax) r = toedge(q, {p, n, p, m}, al.dmax);
    }
    // The script of the path found, in steps of its own: the path bounds them by its edits.
    q.work = budget;
    if (r.d >= 0 && !script(q, {p, r.x, p, r.y}, al.dmax)) r.d = -1, found.clear();
    if (r.d < 0 && common < 0) common = shared(al, a + p, n - p, b + p, m - p);
    // Of the lines counted shared, about one in 16 of the first window's is not.
    if (r.d < 0 && (common - (n - p) / 16) * SPARSE < std::min(n, m) - p) {
      // So few lines in common that anchors are not looked for: all of both is one change.
      al.out.exact = false;
      put(found, {p, n, p, m});
    } else if (r.d < 0) {
      q.work = budget;
      std::tie(cx, cy) = anchored(al, q, {p, n, p, m}, true);
      // Anchors that all lie early leave a tail that none anchors: it is one change, to the
      // windows' ends, which the next may join.
      if (cx <= half && cy <= half) {
        put(found, {cx, n, cy, m});
        cx = n, cy = m;
      }
    } else if ((r.x == n && al.ended[0]) || (r.y == m && al.ended[1])) {
      // The path met the end of an input that has ended: what the other has from there
      // on, in its window and after it, can only be added.
      put(found, {r.x, n, r.y, m});
    } else {
      // The changes that end by the middle, and the first one in any case, so that each
      // decision settles something.
      cx = p, cy = p;
      size_t kept = 0;
      for (; kept < found.size(); kept++) {
        const change &c = found[kept];
        if (kept > 0 && (c.firstend > half || c.secondend > half)) break;
        cx = c.firstend, cy = c.secondend;
      }
      // A change that runs to a window's end may go on past it, unseen.
      if (kept > 0 && (cx == n || cy == m)) al.out.exact = false;
      // On along the equal lines after the last change settled, up to the middle.
      int64_t stop = kept < found.size() ? found[kept].first : r.x;
      int64_t run = std::max<int64_t>(0, std::min({stop - cx, half - cx, half - cy}));
      cx += run, cy += run;
      found.resize(kept);
    }
  }
  for (const change &c : found) settle(al, c);
  advance(al, cx, cy);
  // A window that has run ahead of the other's to twice what it should hold: its oldest
  // lines past LINEWINDOW are added where the other's window starts, so that memory stays
  // bounded.
  for (int side = 0; side < 2; side++) {
    int64_t over = int64_t(al.win[side].size()) - int64_t(al.window);
    if (al.win[side].size() < 2 * al.window || al.win[1 - side].size() >= al.window) continue;
    al.out.exact = false;
    settle(al, side == 0 ? change{0, over, 0, 0} : change{0, 0, 0, over});
    advance(al, side == 0 ? over : 0, side == 1 ? over : 0);
  }
}

// Decides once both windows are full, or an input has ended and the other's is full; and
// once a window holds twice what it should, the other lagging.
void maybe(aligner &al) {
  bool full0 = al.win[0].size() >= al.window, full1 = al.win[1].size() >= al.window;
  if (((full0 || al.ended[0]) && (full1 || al.ended[1]) && (full0 || full1)) || al.win[0].size() >= 2 * al.window ||
      al.win[1].size() >= 2 * al.window)
    decide(al);
}

}  // namespace
}  // namespace aligning

void startalign(aligner &a, int64_t line, size_t window, int64_t dmax) {
  a = aligner{};
  a.window = std::max<size_t>(window, 4);
  a.dmax = dmax;
  a.base[0] = a.base[1] = line;
  a.lines[0] = a.lines[1] = line - 1;
}

void addline(aligner &a, int side, uint64_t hash) {
  a.win[side].push_back(hash);
  a.lines[side]++;
  aligning::maybe(a);
}

void endlines(aligner &a, int side) {
  a.ended[side] = true;
  aligning::maybe(a);
}

const aligned &finishalign(aligner &a) {
  a.ended[0] = a.ended[1] = true;
  if (!a.win[0].empty() || !a.win[1].empty()) aligning::decide(a);
  aligning::flush(a);
  a.out.matched = a.lines[0] - a.removed;
  return a.out;
}

}  // namespace linecmp::engine
