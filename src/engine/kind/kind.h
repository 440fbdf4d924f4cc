// The kind of difference between two inputs: the first of a row of ever looser
// normalisations under which they are equal, found in one pass that reads each input once,
// in bounded memory.
//
// From where the inputs part, the finest row not yet known to differ is decided by
// comparing the two inputs' forms under it (form.h) byte for byte, reading on in whichever
// lags; where they part, the next row takes over from the last line start they shared
// (pairing, below). A row decided so is exact. That covers every row up to lettercase for
// as long as the forms' lines pair (spacing's and lettercase's forms keep each line's
// tokens apart), which they do wherever one input differs from the other within lines.
//
// Hashes decide the rest, under a key drawn at random for each comparison:
//   - order always: the lines are a multiset, so each line's hash goes into a sum;
//   - the rows still open where spacing's lines stop pairing (tokens that cross lines), or
//     where one input runs LEAD bytes ahead of the other (as when one has a blank line after
//     each of the other's lines): each row's form from there is hashed in bulk
//     (SipHash-1-3, 128 bits), and the hashes compared at the end;
//   - the rows still open where the rests of the line in which the inputs part do not pair
//     (the line is over LEAD bytes long, or one rest is blank, or tokens cross): the
//     shapers (below) hash each row's stream from the shared state at that line's start.
// Two different streams hash alike with probability about 2^-128 per row, so a kind that
// rests on these is wrong with probability about 2^-125 per call, and never for a row
// decided by the forms.
//
// Order sums a 128-bit fingerprint of each line with a token, modulo 2^128 (kind/lines.h):
// NH, under keys shifted so that it is 2^-128-almost-universal (two of 64-bit words, or
// four of 32-bit ones), then a finish that is not linear, two AES-128 encryptions chained
// (SipHash-1-3 on machines without AES instructions, and for lines past the length NH
// takes). For inputs of n lines in all, order is wrongly found to hold with probability at
// most about 6 n^2 2^-128: n^2/2 from the pairs of lines whose NH could collide, about 5 n^2
// more (the chained encryptions' bound) for the finish to be told from a random function,
// and the sum's own chance, at most n 2^-128 (a line counted 2^j times more in one input
// moves the sum by a multiple of 2^j). That is below 2^-65 for a billion lines, and below
// 2^-78 for ten million. It rests on NH's proven bound, on AES-128 being a pseudorandom
// permutation and SipHash-1-3 a pseudorandom function (which draws the NH and AES keys
// from the call's key), as cryptography takes them to be, and on that key being drawn
// afresh for each call from the system's entropy source, so that no input can be made to
// collide under it.
//
// Once the rows before order are known to differ (a shaper's from is 6), feed() hands the
// bytes to the order row's line kernel alone, which hashes the same fingerprints many
// bytes at a time; it keeps the facts of the input as feed() does, but for blanks, which
// only the blanklines row's count reads.
//
// Up to the first differing byte both inputs hold the same bytes, so every normaliser is
// in the same state on both there: the line in which they part is fed once, as it is
// read, and its state copied to each input's own from that byte on. Lines before it are
// equal and not fed at all.
#ifndef LINECMP_KIND_H
#define LINECMP_KIND_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "kind/form.h"
#include "kind/keyhash.h"
#include "kind/lines.h"
#include "scan/scan.h"

namespace linecmp::engine {

// A keyed 128-bit hash of a long stream: NH of each LINEBYTES of it (the order row's, 256
// bits), taken into SipHash-1-3. Two different streams differ in some block, or in their
// last block's length; NH maps two different blocks to the same 256 bits with
// probability 2^-128, and SipHash is a pseudorandom function of the sums, so they collide
// with probability about 2^-128 per block. On 50 MiB this takes 4.2 ms where SipHash
// alone, 8 bytes a round, takes 9.8 (12 and 5 GB/s on this project's machine).
struct blockhash {
  keyhash sip;
  unsigned char block[LINEBYTES + 8];  // the bytes past the last whole block, with room to read past
  size_t have = 0;
};

// Starts h on an empty stream under key, which must outlive it; feeds it p[0, n); the hash
// of what it was fed.
void blockstart(blockhash &h, const hashkey &key);
void blockadd(blockhash &h, const hashkey &key, const char *p, size_t n);
digest blockof(blockhash h, const hashkey &key);

// The kinds, from the finest row to the loosest; each holds when the inputs are equal
// after the normalisations of the rows from finalnewline up to it, together.
enum class kinds : uint8_t {
  same,          // none: the inputs are equal
  finalnewline,  // a line feed added at the end where the input does not end in one
  lineendings,   // CR LF read as LF
  trailing,      // spaces, tabs and CRs before each line's end dropped
  blanklines,    // lines left empty by the rows above dropped
  spacing,       // whitespace only separates tokens: the same tokens in the same order
  lettercase,    // ASCII letters folded
  order,         // the lines, each its folded tokens, the same multiset (blank lines left out)
  content,       // none of the above
};

// The name of k as the library and its users write it: "same", "final-newline", ...
const char *kindname(kinds k);

struct pairing;

// The rows' normalisers on one input, fed from a line start on.
struct shaper {
  pairing *pair = nullptr;  // when set, feed() goes to it first, as this side
  int side = 0;             // 0 or 1
  int from = 0;             // the first row fed: those before it are known to differ
  const hashkey *key = nullptr;
  keyhash row[6];          // finalnewline, lineendings, trailing, blanklines, spacing, lettercase
  keyhash held;            // trailing, with the run of spaces, tabs and CRs not yet known to end a line
  keyhash heldblank;       // blanklines, the same
  orderline line;          // order: the current line's tokens, folded
  digest lines;            // order: the sum of the hashes of the lines with tokens
  bool cr = false;         // lineendings: a CR held back, which a line feed would drop
  bool run = false;        // trailing: held has the run, row[2] the line before it
  bool filled = false;     // blanklines: the trailing row has kept a byte of the current line
  int64_t blanks = 0;      // blanklines: the lines it dropped since the last start(), until from is 6
  bool token = false;      // the last byte was part of a token
  bool tokens = false;     // the current line has a token
  bool linestart = true;   // the next byte starts a line
  bool lastcr = false;     // the last byte was a CR
  bool crlf = false;       // a CR LF was fed
  bool any = false;        // the input has a byte
  unsigned char last = 0;  // its last byte
  int64_t budget = -1;     // when not negative, the bytes it may still be fed
  bool gaveup = false;     // it was fed past its budget, so what it holds says nothing
};

// Sets s up on a line start under key, which must outlive it.
void start(shaper &s, const hashkey &key);

// Feeds p[0, n) of the input to s, unless that takes it past its budget: then it gives up.
void feed(shaper &s, const char *p, size_t n);

// The input has ended: its last line is given its line feed where it has none.
void finished(shaper &s);

// The kind of difference between the inputs whose ended shapers are a and b, given that
// they differ and that the first floor rows are known to differ.
kinds kindof(const shaper &a, const shaper &b, int floor = 0);

// From where the inputs part, the rows are decided by comparing the inputs' forms under
// the finest row not yet known to differ (form.h), byte for byte, with no hash: so a row
// decided so is exact. When the forms part, the next row's forms are made from the last
// line start at which they agreed, from what each form holds past it, since each row's
// form is a function of the one before. Spacing and lettercase compare forms that keep
// each line's tokens apart: equal forms then mean equal rows, and forms that part where
// one has a line feed and the other a space between tokens say nothing, as tokens may
// cross lines. Only there, or where one input runs more than LEAD bytes ahead of the
// other, do both inputs go on alone from that line start (chain, below): each row still
// open a form of its own, hashed, fed first what each form holds from it. Where the forms
// part for good at lettercase, the
// lines before that line start have paired, and so cancel out of order's multiset; from
// there order alone goes on pairing lettercase's lines, hashing only the lines that do not
// pair (ORDERBULK).
//
// Where the inputs part within a line, its rests are paired first, under the rows the
// state both shared at that line's start allows (the shared bytes are not kept): the
// forms start at the next line. Where the rests cannot pair (the line is over LEAD bytes,
// a rest is blank, or tokens may cross), the shapers take over from that state.
struct pairing {
  shaper *s[2] = {nullptr, nullptr};  // each side's shapers, started when the pairs give up
  const shaper *shared = nullptr;     // the state both had where they part
  std::array<std::string, 2> held;    // each side's bytes of the rests of the line where they part
  size_t at[2] = {0, 0};              // where in held the bytes not yet paired start
  size_t seen[2] = {0, 0};            // how far held has been searched for a line feed
  int floor = 0;                      // the rows known to differ, from finalnewline on
  bool first = true;                  // the rests of the line where they part are still to pair
  bool sharedcr = false;              // the bytes both share of that line end in a CR
  bool hashing = false;               // the shapers have taken over
  bool streaming = false;             // the forms have taken over from the rests
  bool ended = false;                 // both inputs have ended, their last line feeds added
  size_t lead = 0;                    // the bytes a side may hold past its first line
  const kernels *k = nullptr;         // for comparing the forms
  formfn form = formbytes;            // and for making them
  formstate fs[2];                    // each form's state
  std::array<formout, 2> fo;          // each form, from a line start both agree on
  size_t done[2] = {0, 0};            // how far the forms are compared: equal before
  size_t mark[2] = {0, 0};            // the last line start the forms agree on
  bool unpaired[2] = {false, false};  // order alone: the side's line did not pair, and goes to order until it ends
  size_t pairedbytes = 0, unpairedbytes = 0;  // order alone: the bytes of the forms compared equal, and not
  // Where the forms stop agreeing for good or one runs too far ahead, both inputs go on
  // alone: each row's form from floor on, hashed in bulk (blockhash), and order's lines.
  struct chain {
    formstate st[6];
    std::array<formout, 6> out;
    size_t used[6] = {0, 0, 0, 0, 0, 0};  // the bytes of each form hashed
    blockhash h[6];
    bool spilled[6] = {};  // a pending run has gone to the hash, before it as before[r]
    blockhash before[6];
    std::string spaced;  // from spacing on, a form with its line feeds as spaces, to hash
    shaper order;
  };
  bool chained = false;
  std::array<chain, 2> ch;
};

// The bytes one input may hold ahead of the other: beyond them the shapers take over, so a
// call keeps at most about twice this for the pairs (a string's room doubling as it grows).
// The engine reads both inputs a pair of lines at a time, so where lines pair up one is
// at most about a block (64 KiB) ahead of the other, and 1 MiB keeps the pairs going
// there, lines of up to 1 MiB included. It does not pay to go further: where one input
// has a blank line after each of the other's lines, it falls behind by half of what is
// read, so on 50 MiB no bound within a few MiB would hold it.
constexpr size_t LEAD = size_t{1} << 20;

// Order alone pairs lines and hashes only those that do not pair, one at a time; once it
// has hashed this many bytes so, and more than a quarter of what paired, it hashes every
// line in bulk, which costs less a line. On 50 MiB of lines in reverse order, each line
// hashed alone cost 4.6 times as much as in bulk.
constexpr size_t ORDERBULK = 65536;

// The bytes of a pending run a hashed form holds before it hashes them on the chance that
// the run stays: a run that long is rare, and keeping it would let memory grow with it.
constexpr size_t SPILL = 65536;

// Sets p up on the shapers a and b, copies of shared, where the inputs part, each side
// holding at most lead bytes (LEAD, or less to test the shapers' taking over), the forms
// made and compared by the version k of the kernels.
void startpairs(pairing &p, shaper &a, shaper &b, const shaper &shared, const kernels &k, size_t lead = LEAD);

// Both inputs have ended: the kind of difference between them, given that they differ.
kinds pairedkind(pairing &p);

// The last line feed of p[0, n) splits a span of bytes both inputs share: the line in
// which they may part starts after it. Feeds what of it is in the span to s, first
// starting s again when the span holds a line feed, and notes a CR LF anywhere in it.
void sharedspan(shaper &s, const char *p, size_t n);

}  // namespace linecmp::engine

#endif
