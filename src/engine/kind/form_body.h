// The part of a form's 64-byte window that is the same in every vector version: from the
// window's masks (bit i for byte i), what the row keeps, with the state going on. Each
// version includes it inside a namespace of its own, as the scan kernels do, so that every
// copy is built for its own CPU. The loops run once a line feed, or a token that follows
// whitespace: a few times a window on text.

// The kept bytes of a window with line feeds lf and, for rows 2 and 3, spaces, tabs and CRs
// ws (for row 1: CRs). Takes back from the form (of len bytes) a pending run that a line feed at the window's
// start drops, and sets the run pending at its end, given that the window's kept bytes go
// to o at o.len. Rows 0 to 3.
inline uint64_t keeplines(formstate &s, uint64_t lf, uint64_t ws, size_t &len) {
  if (s.row == 0) return ~0ULL;
  if (s.row == 1) {
    if (s.pend != NOPEND && (lf & 1)) len = s.pend;
    uint64_t keep = ~(ws & (lf >> 1));
    s.pend = ws >> 63 ? len + size_t(__builtin_popcountll(keep)) - 1 : NOPEND;
    return keep;
  }
  uint64_t other = ~ws, content = other & ~lf, drop = 0;
  if (ws != ~0ULL) {
    // The run carried in ends here: dropped by a line feed, else kept for good.
    bool dropped = lf >> __builtin_ctzll(other) & 1;
    if (s.pend != NOPEND && !s.firstend) s.firstend = dropped ? 2 : 1;
    if (s.pend != NOPEND && dropped) len = s.pend;
    s.pend = NOPEND;
  }
  bool seen = s.seen;
  for (uint64_t e = lf; e; e &= e - 1) {
    uint64_t bit = e & (0 - e), below = other & (bit - 1);
    bool filled = seen;
    if (below) {
      int at = 63 - __builtin_clzll(below);
      drop |= (bit - 1) & ~((2ULL << at) - 1);
      filled = content >> at & 1;
    } else {
      drop |= bit - 1;
    }
    if (s.row == 3 && !filled) {
      drop |= bit;
      s.blanks++;
    }
  }
  uint64_t keep = ~drop;
  if (ws != ~0ULL) s.seen = content >> (63 - __builtin_clzll(other)) & 1;
  if (ws >> 63) {  // a run reaches the window's end: pending until its line goes on or ends
    if (ws != ~0ULL) {
      s.pend = len + size_t(__builtin_popcountll(keep & ((2ULL << (63 - __builtin_clzll(other))) - 1)));
    } else if (s.pend == NOPEND) {
      s.pend = len;
    }
  }
  return keep;
}

// The kept bytes of a window under row 4 or 5, with line feeds lf and other whitespace ws:
// tokens, the last whitespace byte before a token that follows one on its line (it goes out
// as a space), and line feeds of lines with a token. lead: a space is due before the
// window, where a token at its first byte follows one across the window's edge.
inline uint64_t keeptokens(formstate &s, uint64_t lf, uint64_t ws, bool &lead) {
  uint64_t other = ~ws, token = other & ~lf, keep = token;
  lead = false;
  for (uint64_t e = lf | (token & (ws << 1 | uint64_t(s.lastws))); e; e &= e - 1) {
    uint64_t bit = e & (0 - e), below = other & (bit - 1);
    bool after = below ? (token >> (63 - __builtin_clzll(below)) & 1) : s.seen;
    if (!after) continue;
    if (lf & bit) {
      keep |= bit;
    } else if (bit > 1) {
      keep |= bit >> 1;
    } else {
      lead = true;
    }
  }
  if (ws != ~0ULL) s.seen = token >> (63 - __builtin_clzll(other)) & 1;
  s.lastws = ws >> 63;
  return keep;
}

#if defined(LINECMP_FORM_PDEP)
// The same as keeplines() and keeptokens(), with no loop: each run of whitespace is told
// by its first byte (starts) and by the byte just past it (ends, from a carry through the
// run); the k-th start and the k-th end are the same run's, so pext() and pdep() carry
// what is known at one end to the other. Only for CPUs whose pdep() is fast, as every one
// with AVX-512 is. On 50 MiB inputs that differ by trailing spaces, the loops made the
// kind cost 2.9 times the comparison with AVX-512 (these: 1.7), and 3.0 with AVX2 (2.1).
inline uint64_t runstarts(uint64_t ws) { return ws & ~(ws << 1); }

// The starts of the runs of ws that end within the window.
inline uint64_t closed(uint64_t ws, uint64_t starts) {
  return ws >> 63 && starts ? starts & ~(1ULL << (63 - __builtin_clzll(starts))) : starts;
}

inline uint64_t keeplinesbits(formstate &s, uint64_t lf, uint64_t ws, size_t &len) {
  if (s.row <= 1) return keeplines(s, lf, ws, len);
  uint64_t other = ~ws, content = other & ~lf;
  if (ws != ~0ULL) {
    bool dropped = lf >> __builtin_ctzll(other) & 1;
    if (s.pend != NOPEND && !s.firstend) s.firstend = dropped ? 2 : 1;
    if (s.pend != NOPEND && dropped) len = s.pend;
    s.pend = NOPEND;
  }
  uint64_t starts = runstarts(ws), shut = closed(ws, starts), ends = (ws + starts) & other;
  uint64_t lfends = ends & lf;
  uint64_t drop = lfends - _pdep_u64(_pext_u64(lfends, ends), shut);
  if (s.row == 3) {
    // A line feed is a blank line's where the byte before it, or before the run that ends
    // at it, is a line feed or the line's start.
    uint64_t before = lf << 1 | uint64_t(!s.seen);
    uint64_t blank = (lf & ~lfends & before) | (_pdep_u64(_pext_u64(shut & before, shut), ends) & lfends);
    drop |= blank;
    s.blanks += __builtin_popcountll(blank);
  }
  uint64_t keep = ~drop;
  if (ws != ~0ULL) s.seen = content >> (63 - __builtin_clzll(other)) & 1;
  if (ws >> 63) {
    if (ws != ~0ULL) {
      s.pend = len + size_t(__builtin_popcountll(keep & ((2ULL << (63 - __builtin_clzll(other))) - 1)));
    } else if (s.pend == NOPEND) {
      s.pend = len;
    }
  }
  return keep;
}

inline uint64_t keeptokensbits(formstate &s, uint64_t lf, uint64_t ws, bool &lead) {
  uint64_t other = ~ws, token = other & ~lf;
  uint64_t starts = runstarts(ws), shut = closed(ws, starts), ends = (ws + starts) & other;
  // The runs that follow a token on its line, told at their ends: a token there gets the
  // run's last byte as its space, a line feed there is kept.
  uint64_t after = token << 1 | uint64_t(s.seen);
  uint64_t told = _pdep_u64(_pext_u64(shut & after, shut), ends);
  uint64_t keep = token | ((told & token) >> 1) | (told & lf) | (lf & ~ends & after);
  lead = s.lastws && s.seen && (token & 1);
  if (ws != ~0ULL) s.seen = token >> (63 - __builtin_clzll(other)) & 1;
  s.lastws = ws >> 63;
  return keep;
}
#endif
