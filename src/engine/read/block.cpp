#include "read/block.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace linecmp::engine {

void attach(src &f, std::istream &in, size_t cap) {
  f = src();
  f.in = &in;
  f.cap = cap;
  f.own.reset(new char[cap]);
  f.blk = f.own.get();
  in.exceptions(std::ios::badbit);  // a failed read's exception reaches more(), with its errno
}

void attach(src &f, std::string_view bytes, size_t cap) {
  f = src();
  f.mem = bytes;
  f.cap = cap;
}

// Reads the next block of a stream into f: false at the end or on a failure.
static bool readblock(src &f) {
  // A block is what one read gives: a pipe or socket gives what it has, and the other
  // file may need to be read before this one has more. A short read marks the stream
  // failed, which is not an end here; only a read of nothing is, or a read error.
  try {
    f.in->read(f.own.get(), std::streamsize(f.cap));
  } catch (const std::system_error &e) {
    f.err = e.code().value();
  } catch (...) {
    f.err = EIO;
  }
  f.done += int64_t(f.len);
  f.pos = f.fed = 0;
  f.len = size_t(f.in->gcount());
  // What came before a failure is still served; nothing is read after it.
  if (f.in->bad()) f.bad = f.eof = true;
  f.in->clear();
  return f.len > 0;
}

void watched(src &f) {
  if (f.watch && f.pos > f.fed) feed(*f.watch, f.blk + f.fed, f.pos - f.fed);
  f.fed = f.pos;
}

bool more(src &f) {
  if (f.pos < f.len) return true;
  watched(f);
  if (f.eof) return false;
  if (f.stop && f.stop->now()) {
    f.bad = f.eof = true;
    f.err = ECANCELED;
    return false;
  }
  if (f.in) {
    if (readblock(f)) return true;
  } else if (f.taken < f.mem.size()) {
    f.blk = f.mem.data() + f.taken;
    f.done += int64_t(f.len);
    f.pos = f.fed = 0;
    f.len = std::min(f.cap, f.mem.size() - f.taken);
    f.taken += f.len;
    return true;
  }
  f.eof = true;
  return false;
}

// Appends p[0, n) to res without letting it grow past cap bytes.
static void keep(std::string &res, const char *p, size_t n, size_t cap) {
  if (res.size() < cap) res.append(p, std::min(n, cap - res.size()));
}

void keeplast(std::string &res, const char *p, size_t n, size_t keep) {
  if (n >= keep) {
    res.assign(p + n - keep, keep);
    return;
  }
  res.append(p, n);
  if (res.size() > keep) res.erase(0, res.size() - keep);
}

void readrest(src &f, std::string &res, size_t cap) {
  while (more(f)) {
    const char *p = f.blk + f.pos;
    size_t n = f.len - f.pos;
    const char *lf = static_cast<const char *>(std::memchr(p, '\n', n));
    if (lf) {
      keep(res, p, size_t(lf - p), cap);
      res += '\n';
      f.pos += size_t(lf - p) + 1;
      return;
    }
    keep(res, p, n, cap);
    f.pos = f.len;
  }
  f.ended = true;
}

src &mygetline(src &f, std::string &res) {
  res.clear();
  if (!f.ended) readrest(f, res);
  return f;
}

int64_t countlines(src &f, const kernels &k) {
  int64_t lines = 0;
  bool open = false;  // the last byte read was not a line feed
  while (more(f)) {
    const char *p = f.blk + f.pos;
    size_t n = f.len - f.pos;
    lines += int64_t(k.countlf(p, n));
    open = p[n - 1] != '\n';
    f.pos = f.len;
  }
  f.ended = true;
  return lines + (open ? 1 : 0);
}

// Starts at over at a line start, keeping the strings' room.
static void restart(stop &at) {
  at.head.clear();
  at.near.clear();
  at.col = 0;
}

bool skipequal(src &a, src &b, const kernels &k, int64_t &rows, stop &at) {
  restart(at);
  for (;;) {
    bool ma = more(a), mb = more(b);
    if (!ma || !mb) return !ma && !mb;
    const char *p = a.blk + a.pos;
    size_t n = std::min(a.len - a.pos, b.len - b.pos);
    size_t d = k.firstdiff(p, b.blk + b.pos, n);
    size_t lines = k.countlf(p, d);
    if (at.line) sharedspan(*at.line, p, d);
    const char *from = p;  // where the line that the stop falls in starts, within p[0, d]
    if (lines > 0) {
      rows += int64_t(lines);
      // Contents in memory that another thread changes meanwhile may have lost the line
      // feed just counted; the stop's line then starts where the span does.
      if (const void *lf = memrchr(p, '\n', d)) from = static_cast<const char *>(lf) + 1;
      restart(at);
    }
    size_t part = size_t(p + d - from);  // of the stop's line, in this span
    keep(at.head, from, part, HEAD);
    keeplast(at.near, from, part, BEFORE);
    at.col += int64_t(part);
    a.pos += d;
    b.pos += d;
    if (d < n) return false;
  }
}

// A pair the kernels cannot take whole, because a line runs past the end of a block or
// the files end: block compare, then skip what is left of each line. at is scratch.
static void slowpair(src &a, src &b, const kernels &k, int64_t &row, int64_t &errors, stop &at) {
  if (skipequal(a, b, k, row, at)) {
    if (at.col > 0) row++;  // equal last lines without line feeds
    return;
  }
  if (at.col == 0 && !(more(a) && more(b))) return;  // a file has no more lines
  readrest(a, at.head);
  readrest(b, at.head);
  row++;
  errors++;
}

void countpairs(src &a, src &b, const kernels &k, int64_t &row, int64_t &errors) {
  stop at;
  while (more(a) && more(b)) {
    const char *p = a.blk + a.pos, *q = b.blk + b.pos;
    size_t n = a.len - a.pos, m = b.len - b.pos;
    tally t = k.aligned(p, q, std::min(n, m));
    if (t.pairs == 0) t = k.shifted(p, n, q, m);
    if (t.pairs == 0) {
      slowpair(a, b, k, row, errors, at);
      continue;
    }
    a.pos += t.used1;
    b.pos += t.used2;
    row += t.pairs;
    errors += t.differ;
  }
}

}  // namespace linecmp::engine
