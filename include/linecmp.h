// linecmp as a library: compare a program's output with the expected output in-process,
// and judge it by the rules of a contest judge, with the reports and messages the
// programs print. Every function here may run in any number of threads at once; each
// call keeps its state to itself, and memory stays bounded for files and descriptors
// whatever their size. LINECMP_KERNEL, which forces a version of the scanning kernels, is
// read once per process, at the first call: a value set after it has no effect.
#ifndef LINECMP_H
#define LINECMP_H

#if __cplusplus < 201703L
#error "linecmp.h needs C++17 or later (such as -std=c++17)"
#endif

// The library's version; CMake checks it against the project's.
#define LINECMP_VERSION "0.5.0"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The library is built with hidden visibility, so that a shared object that embeds it
// exports only what is declared here.
#pragma GCC visibility push(default)

namespace linecmp {

// One input: a file by its path, a descriptor that the caller keeps open and closes, or
// contents in memory, read where they lie (they must outlive the call that reads them).
class input {
 public:
  enum class kind { file, descriptor, bytes };

  kind what() const { return what_; }
  const std::string &path() const { return path_; }  // of a file
  int fd() const { return fd_; }                     // of a descriptor
  std::string_view contents() const { return contents_; }

 private:
  friend input file(std::string path);
  friend input descriptor(int fd);
  friend input bytes(std::string_view contents);
  kind what_ = kind::bytes;
  std::string path_;
  int fd_ = -1;
  std::string_view contents_;
};

// The file at path; /dev/stdin and /dev/fd/N name this process's descriptors. Throws
// error (EINVAL) for a path with a null byte, which the system would cut short there.
input file(std::string path);
// The descriptor fd, read from where it stands.
input descriptor(int fd);
// Contents in memory, not copied.
input bytes(std::string_view contents);

// An input that cannot be opened or read: the errno value, and the input's path (or
// label, for a descriptor or contents).
class error : public std::system_error {
 public:
  error(int errnum, std::string path, bool opening);
  const std::string &path() const noexcept { return path_; }
  bool opening() const noexcept { return opening_; }  // false: it opened, but a read failed

 private:
  std::string path_;
  bool opening_;
};

// Judging that cannot be done, which is never a verdict: rules or flags that are not
// valid, an answer that does not hold what the rules need (such as a number), or a
// kernel version in LINECMP_KERNEL that cannot be used. what() says which.
class judge_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Asked by a call, on the calling thread, whether to give up: at least once per block of
// each input it reads or compares (64 KiB), and at least every 20 ms while a read waits for
// input, a FIFO without a writer included. Once it returns true the call throws cancelled.
// To stop a call from another thread, set a std::atomic<bool> there and read it here:
// [&stop] { return stop.load(); }.
using cancel_check = std::function<bool()>;

// A call given up because its cancel_check said so; never a verdict or a report.
class cancelled : public std::runtime_error {
 public:
  cancelled() : std::runtime_error("linecmp: the call was cancelled") {}
};

// Where two inputs first differ: the line and the byte in it, counted from 1 as cmp
// counts (both 0 when they are the same); the line's bytes before that byte, the same
// in both and up to 31 of them; and each input's bytes from it on, 31 or more unless its
// line ends first, with the line feed when the line ends there.
struct place {
  int64_t line = 0, byte = 0;
  std::string before, first, second;
};

// The kind of difference between two inputs: the first row below under which they are
// equal, where each row adds its normalisation to those of the rows before it.
enum class kind {
  same,            // none: the inputs are equal
  final_newline,   // "final-newline": a line feed is added at the end of an input without one
  line_endings,    // "line-endings": CR LF is read as LF, in either input
  trailing_space,  // "trailing-space": spaces, tabs and CRs before each line's end are dropped
  blank_lines,     // "blank-lines": lines left empty by the rows above are dropped
  spacing,         // "spacing": whitespace only separates tokens: same tokens, same order
  letter_case,     // "letter-case": ASCII letters are folded
  order,           // "order": the lines (their folded tokens; blank lines left out) are the
                   // same multiset, in another order
  content,         // "content": none of the above
};

// The name of k as written above: "same", "final-newline", ..., "content".
const char *name(kind k);

// What a comparison found.
struct result {
  bool same = true;    // exactly when the report is empty
  std::string report;  // the report, exactly as linecmp prints it under the labels
  place first;         // where the inputs first differ
  // When they differ: that place, and both lines around it in the readable form (printable
  // text as it is, everything else escaped and named, always valid UTF-8), under the
  // labels whole, with a mark beneath the place.
  std::string locator;
  // When they differ, for the people who read it, in the readable form: a first line that
  // says what differs (the kind, when found; the place; the counts), then the locator.
  std::string explanation;
  // The lines of each input (a last line without a line feed counts), and the pairs of
  // lines that differ: lines are paired by number, so one line inserted makes every later
  // pair differ, and a last line that lacks its line feed differs from the same line with
  // one. Lines past the end of the shorter input are in no pair.
  std::array<int64_t, 2> lines{};
  int64_t differing = 0;
  // Found when compare() is asked to (find_kind), and otherwise empty and false: the kind
  // of difference; whether each input holds a CR LF; and whether each input's last line
  // lacks its line feed. kind is a std::optional, empty when not asked for, so its name is
  // linecmp::name(*r.kind). Every kind up to letter-case is told by comparing what the
  // row keeps of the two inputs, byte for byte, and is exact, for as long as their lines
  // pair up, as they do where the inputs differ within lines. Order always, and the rows
  // still open where lines stop pairing (tokens that cross lines; one input more than
  // 1 MiB ahead of the other, as when it has a blank line after each of the other's
  // lines), rest on keyed 128-bit hashes under a key drawn at random for each call, so
  // that a kind is wrong with probability about 2^-125 per call.
  std::optional<linecmp::kind> kind;
  std::array<bool, 2> crlf{}, unterminated{};
};

// Compares two inputs line by line, as linecmp does. Labels default to the paths of
// files, as linecmp's do, and to "first" and "second" for descriptors and contents; in the
// report, like linecmp's, they are cut to 8 bytes and become "first" and "second" when
// equal; the locator and the explanation show them whole ("first" and "second" when
// equal). Throws
// error for an input that cannot be opened or read, judge_error for LINECMP_KERNEL, and
// cancelled when cancel, if given, says to stop.
result compare(const input &first, const input &second);
result compare(const input &first, const input &second, std::string_view label1, std::string_view label2);
result compare(const input &first, const input &second, const cancel_check &cancel);
result compare(const input &first, const input &second, std::string_view label1, std::string_view label2,
               const cancel_check &cancel);

// What a compare() call is asked for beyond the report and the counts.
struct compare_options {
  // Find the kind of difference and the facts beside it as well. Off by default, as inputs
  // that differ then cost more: each byte from the first difference on goes through a
  // normaliser per kind (equal inputs cost the same either way).
  bool find_kind = false;
  cancel_check cancel;  // as above, when set
};
result compare(const input &first, const input &second, const compare_options &how);
result compare(const input &first, const input &second, std::string_view label1, std::string_view label2,
               const compare_options &how);

// A judge's verdict on an output.
enum class verdict { accepted, wrong_answer, presentation_error };

struct judgement {
  verdict v = verdict::accepted;
  std::string message;  // for the jury: why, and where
  bool accepted() const { return v == verdict::accepted; }
};

// Judges output against answer by the rules of one of linecmp's judge programs, named
// without their "linecmp-": "validator" (the problem package format's default output
// validator, which takes the flags), "checker" (exact lines, testlib's protocol),
// "cms" (CMS's white-diff), "cms-exact", "wcmp", "lcmp", "ncmp", "rcmp4", "rcmp6" and
// "rcmp9" (testlib's standard checkers). The message is the one the program gives.
// Throws error for an input that cannot be opened or read, judge_error when judging
// cannot be done, and cancelled when cancel, if given, says to stop.
judgement judge(std::string_view rules, const input &answer, const input &output,
                const std::vector<std::string> &flags = {}, const cancel_check &cancel = {});

}  // namespace linecmp

#pragma GCC visibility pop

#endif
