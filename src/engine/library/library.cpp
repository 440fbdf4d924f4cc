// The library's functions: linecmp::compare() and linecmp::judge() on inputs given as
// paths, descriptors or contents, over the same engine as the programs.
#include <linecmp.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "compare/engine.h"
#include "read/open.h"
#include "rules/judge.h"
#include "rules/rules.h"
#include "show/readable.h"

namespace linecmp {

input file(std::string path) {
  if (path.find('\0') != std::string::npos) throw error(EINVAL, path, true);
  input in;
  in.what_ = input::kind::file;
  in.path_ = std::move(path);
  return in;
}

input descriptor(int fd) {
  input in;
  in.what_ = input::kind::descriptor;
  in.fd_ = fd;
  return in;
}

input bytes(std::string_view contents) {
  input in;
  in.what_ = input::kind::bytes;
  in.contents_ = contents;
  return in;
}

error::error(int errnum, std::string path, bool opening)
    : std::system_error(errnum, std::generic_category(), std::string(opening ? "cannot open " : "cannot read ") + path),
      path_(std::move(path)),
      opening_(opening) {}

namespace {

using engine::comparison;
using engine::kernels;
using engine::outcome;
using engine::src;

// What a call holds of one input: its stream, when it has one, and its name in messages.
struct opened {
  std::unique_ptr<std::istream> stream;
  std::string name;
};

// Opens in and sets f up to read it, asking stop before each block; name is what messages
// call it. Throws error.
void open(const input &in, const std::string &name, src &f, opened &o, engine::cancel &stop) {
  o.name = name;
  if (in.what() == input::kind::bytes) {
    engine::attach(f, in.contents(), engine::BLOCK);
  } else {
    engine::cancel *waits = stop.ask && *stop.ask ? &stop : nullptr;
    o.stream =
        in.what() == input::kind::file ? engine::openfile(in.path().c_str(), waits) : engine::openfd(in.fd(), waits);
    if (!o.stream) throw error(errno, name, true);
    engine::attach(f, *o.stream, engine::BLOCK);
  }
  f.stop = &stop;
}

// The name of an input in messages: its path, or the label it gets by default.
std::string name(const input &in, const char *label) {
  return in.what() == input::kind::file ? in.path() : std::string(label);
}

// The kernels, or judge_error.
const kernels &scanner() {
  std::string why;
  const kernels *k = engine::chosen(&why);
  if (!k) throw judge_error(why);
  return *k;
}

// Runs print into a string, as if to a file.
template <class F>
std::string printed(F print) {
  char *text = nullptr;
  size_t length = 0;
  FILE *out = open_memstream(&text, &length);
  if (!out) throw std::system_error(errno, std::generic_category(), "cannot keep the report");
  print(out);
  std::fclose(out);
  std::string s(text, length);
  std::free(text);
  return s;
}

// Throws cancelled when stop said to stop, whatever the comparison gave, and error when a
// file of c could not be read.
void readable(const comparison &c, const outcome &o, const opened &x, const opened &y, const engine::cancel &stop) {
  if (stop.stopped) throw cancelled();
  if (o.unreadable == 1) throw error(c.a.err ? c.a.err : EIO, x.name, false);
  if (o.unreadable == 2) throw error(c.b.err ? c.b.err : EIO, y.name, false);
}

// n and a noun, plural unless n is 1.
std::string counted(int64_t n, const char *noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

// The first line of the explanation of r, whose inputs differ, under the labels l1 and l2
// (readable already): the kind, when found, the place and the counts.
std::string explained(const result &r, const std::string &l1, const std::string &l2) {
  std::string kind = r.kind ? std::string(" in ") + name(*r.kind) : "";
  int64_t pairs = std::min(r.lines[0], r.lines[1]);
  return l1 + " and " + l2 + " differ" + kind + " at line " + std::to_string(r.first.line) + ", byte " +
         std::to_string(r.first.byte) + "; " + std::to_string(r.differing) + " of " + counted(pairs, "pair") +
         " of lines differ; " + l1 + " has " + counted(r.lines[0], "line") + ", " + l2 + " has " +
         std::to_string(r.lines[1]);
}

// compare() for labels given (not null) or not.
result run(const input &first, const input &second, const char *label1, const char *label2,
           const compare_options &how) {
  comparison c;
  c.findkind = how.find_kind;
  c.k = &scanner();
  engine::cancel stop{&how.cancel};
  opened x, y;
  open(first, name(first, "first"), c.a, x, stop);
  open(second, name(second, "second"), c.b, y, stop);
  std::string path1 = first.what() == input::kind::file ? first.path() : "first";
  std::string path2 = second.what() == input::kind::file ? second.path() : "second";
  c.path1 = x.name.c_str();
  c.path2 = y.name.c_str();
  c.names = engine::setlabels(path1.c_str(), path2.c_str(), label1, label2);
  outcome o;
  result r;
  r.report = printed([&](FILE *out) { o = engine::compare(c, out); });
  readable(c, o, x, y, stop);
  r.same = !o.differ;
  r.lines = {o.lines1, o.lines2};
  r.differing = o.differing;
  if (how.find_kind) {
    r.kind = linecmp::kind(o.kind);
    r.crlf = {o.crlf1, o.crlf2};
    r.unterminated = {o.open1, o.open2};
  }
  if (o.differ) {
    // The place keeps the bytes before it that it always has; the engine keeps more.
    size_t kept = std::min(o.near.size(), engine::NEAR);
    r.first = {o.line, o.byte, o.near.substr(o.near.size() - kept), o.rest1, o.rest2};
    std::string whole1 = label1 ? label1 : path1, whole2 = label2 ? label2 : path2;
    if (whole1 == whole2) {
      whole1 = "first";
      whole2 = "second";
    }
    r.locator = engine::readablefirst(o, whole1, whole2);
    r.explanation = explained(r, engine::readable(whole1), engine::readable(whole2)) + "\n" + r.locator;
  }
  return r;
}

}  // namespace

result compare(const input &first, const input &second) { return run(first, second, nullptr, nullptr, {}); }

result compare(const input &first, const input &second, std::string_view label1, std::string_view label2) {
  return compare(first, second, label1, label2, compare_options{});
}

result compare(const input &first, const input &second, const cancel_check &cancel) {
  return run(first, second, nullptr, nullptr, {false, cancel});
}

result compare(const input &first, const input &second, std::string_view label1, std::string_view label2,
               const cancel_check &cancel) {
  return compare(first, second, label1, label2, compare_options{false, cancel});
}

// The library's kinds are the engine's, in the same order.
static_assert(int(kind::content) == int(engine::kinds::content) && int(kind::order) == int(engine::kinds::order) &&
              int(kind::blank_lines) == int(engine::kinds::blanklines) &&
              int(kind::spacing) == int(engine::kinds::spacing));

const char *name(kind k) { return engine::kindname(engine::kinds(k)); }

result compare(const input &first, const input &second, const compare_options &how) {
  return run(first, second, nullptr, nullptr, how);
}

result compare(const input &first, const input &second, std::string_view label1, std::string_view label2,
               const compare_options &how) {
  std::string l1(label1), l2(label2);
  return run(first, second, l1.c_str(), l2.c_str(), how);
}

judgement judge(std::string_view rules, const input &answer, const input &output, const std::vector<std::string> &flags,
                const cancel_check &cancel) {
  engine::rules how;
  std::string why;
  if (!engine::makerules(rules, flags, how, why)) throw judge_error(why);
  comparison c;
  c.k = &scanner();
  engine::cancel stop{&cancel};
  opened x, y;
  open(answer, name(answer, "answer"), c.a, x, stop);
  open(output, name(output, "output"), c.b, y, stop);
  c.path1 = x.name.c_str();
  c.path2 = y.name.c_str();
  engine::judgement j = engine::judge(c, how);
  readable(c, j.where, x, y, stop);
  if (j.v == engine::FAILED) throw judge_error(j.message);
  judgement r;
  r.v = j.v == engine::SAME      ? verdict::accepted
        : j.v == engine::DIFFERS ? verdict::wrong_answer
                                 : verdict::presentation_error;
  r.message = j.message;
  return r;
}

}  // namespace linecmp
