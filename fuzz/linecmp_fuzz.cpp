// libFuzzer target: the program's labels and comparison on two in-memory files and up to
// two labels chosen by the input, at a block size and with a version of the scan kernels
// the input chooses, checked against the line-at-a-time reference: the whole report, the
// status, where the files first differ, the lines and differing pairs, and the kind of
// difference, and the order row fed alone. Then the judges' rules: the first file as the
// answer and the second as the output, judged by linecmp::judge() and by the plain model
// of the rules, which must agree, with a message for a rejection and a short one.
//
// Input: byte 0 picks the block size, whether the files are read as streams or in place,
// and how many times each file is repeated (1 to 64, so that a short input makes the
// thousands of lines that the kernels pair in many rounds), byte 1 the number of labels
// (mod 3) and the kernel
// version (the rest of it divided by 3), bytes 2-3 the length of the first file
// (little-endian, cut to what is there), byte 4 the rules and their flags (and the rest of
// it, divided by their number, what the kind's pairs may hold); then the first
// file; then for each label a length byte and its bytes; the rest is the second file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "compare/engine.h"
#include "linecmp.h"
#include "reference.h"
#include "rules_model.h"
#include "scan/scan.h"
#include "show/fix.h"

using namespace linecmp::engine;

namespace {

std::vector<const kernels *> turns;  // the kernel versions this CPU runs
char *printed = nullptr;             // what the program printed, and its length
size_t length = 0;

// A file in memory, read where it lies.
struct file : std::streambuf {
  explicit file(std::string_view s) {
    char *p = const_cast<char *>(s.data());
    setg(p, p, p + s.size());
  }
};

std::string_view take(size_t &at, size_t n, const uint8_t *data, size_t size) {
  n = std::min(n, size - at);
  std::string_view s(reinterpret_cast<const char *>(data) + at, n);
  at += n;
  return s;
}

// The label as printed: argv strings end at a zero byte, are cut to 8 bytes, and two
// equal labels become first and second.
void settle(std::string &a, std::string &b) {
  for (std::string *s : {&a, &b}) *s = s->substr(0, std::min(s->find('\0'), size_t(8)));
  if (a == b) {
    a = "first";
    b = "second";
  }
}

}  // namespace

// The sanitizer's printf interceptor reads every string argument again, which cost a
// third of each run (133 against 91 us per input); the report it prints is checked
// against the reference whole anyway. Recording a stack for every allocation cost
// another seventh (9,600 against 11,200 inputs a second); to see where a faulty block
// was allocated, run the crashing input again with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char *__asan_default_options() { return "check_printf=0:malloc_context_size=0"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // The program prints to stdout; a memory stream in its place takes the report with no
  // system call. libFuzzer itself writes to standard error.
  stdout = open_memstream(&printed, &length);
  if (!stdout) std::abort();
  turns = usable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 5) return 0;
  static const size_t sizes[] = {1, 2, 3, 5, 7, 16, 64, 100, 4096, 65536};
  size_t block = sizes[data[0] % std::size(sizes)];
  int labels = data[1] % 3;
  const kernels *k = turns[size_t(data[1] / 3) % turns.size()];
  size_t at = 5;
  std::string_view x = take(at, data[2] | size_t(data[3]) << 8, data, size);
  std::string lab[2];
  for (int i = 0; i < labels && at < size; i++) {
    size_t n = data[at++];
    lab[i] = std::string(take(at, n, data, size));
  }
  std::string_view y = take(at, size, data, size);
  std::string copies[2];
  size_t times = size_t(1) << (data[0] / (2 * std::size(sizes)) % 7);
  if (times > 1) {
    for (size_t i = 0; i < times; i++) {
      copies[0] += x;
      copies[1] += y;
    }
    x = copies[0];
    y = copies[1];
  }
  // A block larger than both files reads the same as one just larger, and costs more.
  block = std::min(block, std::max(x.size(), y.size()) + 1);

  std::string path[2] = {"results/file1", "results/file2"};
  comparison c;
  c.names = setlabels(path[0].c_str(), path[1].c_str(), labels > 0 ? lab[0].c_str() : nullptr,
                      labels > 1 ? lab[1].c_str() : nullptr);
  c.path1 = path[0].c_str();
  c.path2 = path[1].c_str();
  c.k = k;
  c.findkind = true;
  // Now and then the kind's pairs of lines hold a few bytes at most, so that the shapers
  // take over from them at any point.
  size_t pick = data[4] / rules_model::rulesets().size();
  c.lead = pick % 2 ? pick / 2 : LEAD;
  // Read as from a file, through a stream, or in place, as the library reads contents.
  file fx(x), fy(y);
  std::istream sx(&fx), sy(&fy);
  if (data[0] / std::size(sizes) % 2 == 0) {
    attach(c.a, sx, block);
    attach(c.b, sy, block);
  } else {
    attach(c.a, x, block);
    attach(c.b, y, block);
  }
  outcome o = compare(c, stdout);

  std::fflush(stdout);
  std::string_view got(printed, length);
  std::rewind(stdout);

  std::string l1 = labels > 0 ? lab[0] : path[0], l2 = labels > 1 ? lab[1] : path[1];
  settle(l1, l2);
  std::string want = reference(x, y, l1, l2);
  place p = firstplace(x, y);
  bool placed = o.differ == (p.line > 0) && o.line == p.line && o.byte == p.byte && o.near == p.near &&
                o.rest1.compare(0, p.rest1.size(), p.rest1) == 0 && o.rest2.compare(0, p.rest2.size(), p.rest2) == 0;
  counts n = paircounts(x, y);
  std::string kind = kindof(x, y);
  bool counted = o.lines1 == n.lines1 && o.lines2 == n.lines2 && o.differing == n.differing && kindname(o.kind) == kind;
  if (o.unreadable || got != want || !placed || !counted) {
    std::fprintf(stderr,
                 "block %zu, %s kernels, unreadable %d, first difference at line %lld byte %lld (expected %lld, "
                 "%lld), kind %s (expected %s)\n--- expected\n%s--- got\n%s---\n",
                 block, k->name, o.unreadable, (long long)o.line, (long long)o.byte, (long long)p.line,
                 (long long)p.byte, kindname(o.kind), kind.c_str(), want.c_str(), std::string(got).c_str());
    std::abort();
  }

  // The order row alone, as the shapers feed it where the rows before it are known to
  // differ: in chunks of the block size, from a start or from mid-way through x, where the
  // rows hand over; the same lines' sum as the rows' path, and the reference's verdict.
  hashkey key = randomkey(*k);
  shaper rows, alone[2];
  start(rows, key);
  feed(rows, x.data(), x.size());
  finished(rows);
  for (int i = 0; i < 2; i++) {
    std::string_view s = i ? y : x;
    size_t from = i ? 0 : std::min(s.size(), size_t(data[0]) * 7);
    start(alone[i], key);
    feed(alone[i], s.data(), from);
    alone[i].from = 6;
    for (size_t at = from; at < s.size(); at += block) feed(alone[i], s.data() + at, std::min(block, s.size() - at));
    finished(alone[i]);
  }
  if (rows.lines != alone[0].lines || rows.crlf != alone[0].crlf ||
      ((kind == "order" || kind == "content") && kindname(kindof(alone[0], alone[1], 6)) != kind)) {
    std::fprintf(stderr, "the order row alone, %s kernels, block %zu: %s (expected %s), sums %s\n", k->name, block,
                 kindname(kindof(alone[0], alone[1], 6)), kind.c_str(),
                 rows.lines == alone[0].lines ? "equal" : "differ");
    std::abort();
  }

  using rules_model::verdict;
  const rules_model::ruleset &r = rules_model::rulesets()[data[4] % rules_model::rulesets().size()];
  rules_model::modelled expected = rules_model::model(r.rules, r.flags, x, y);
  verdict v = verdict::judge_error;
  std::string message;
  try {
    linecmp::judgement j = linecmp::judge(r.rules, linecmp::bytes(x), linecmp::bytes(y), r.flags);
    v = j.v == linecmp::verdict::accepted       ? verdict::accepted
        : j.v == linecmp::verdict::wrong_answer ? verdict::wrong_answer
                                                : verdict::presentation_error;
    message = j.message;
  } catch (const linecmp::judge_error &e) {
    message = e.what();
  }
  if (!expected.allows(v) || (v != verdict::accepted && message.empty()) ||
      message.size() >= rules_model::longest_message(r.rules, r.flags)) {
    std::string flags;
    for (const std::string &f : r.flags) flags += " " + f;
    std::fprintf(stderr, "rules %s, flags%s: linecmp::judge() gives %s, the model %s; a message of %zu bytes\n",
                 r.rules.c_str(), flags.c_str(), rules_model::name(v), rules_model::name(expected.v), message.size());
    std::abort();
  }
  return 0;
}
