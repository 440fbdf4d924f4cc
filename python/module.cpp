// linecmp._linecmp: the library's compare() and judge() for Python, which the package
// linecmp wraps in its own types. Paths go to the library as the bytes Python gives the
// system for them; contents are read where they lie, their buffer held for the whole call
// so that a bytearray cannot be resized under it. The GIL is released while the library
// reads and compares, so threads compare in parallel; on the main thread it is taken back
// every 20 ms to run signal handlers, so that Ctrl-C stops a comparison.
#include <linecmp.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

// The bytes that Python passes to the system for a str, bytes or os.PathLike (or a
// label): raises TypeError for any other object and ValueError for a null byte, which
// would cut the name short.
std::string fsencoded(py::handle name) {
  PyObject *encoded = nullptr;
  if (!PyUnicode_FSConverter(name.ptr(), &encoded)) throw py::error_already_set();
  py::bytes held = py::reinterpret_steal<py::bytes>(encoded);
  return std::string(held);
}

// A str from bytes of the system's, decoded as Python decodes file names, so that
// encoding it again gives back the same bytes.
py::str fsdecoded(const std::string &s) {
  return py::reinterpret_steal<py::str>(PyUnicode_DecodeFSDefaultAndSize(s.data(), Py_ssize_t(s.size())));
}

// A descriptor to read from where it stands, as linecmp.descriptor(fd) gives it: the
// caller keeps it open while it is read, and closes it.
struct descriptor {
  int fd;
};

// One argument as an input: contents (bytes, bytearray, memoryview) by their buffer, held
// until the argument is destroyed, which must happen with the GIL held; a descriptor; or a
// path, given as an os.PathLike. A str is refused: it is as often a program's output as a
// path, and an output read as a path could name the expected file itself.
class argument {
 public:
  explicit argument(py::handle object) {
    if (PyBytes_Check(object.ptr()) || PyByteArray_Check(object.ptr()) || PyMemoryView_Check(object.ptr())) {
      if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
      held_ = true;
      in_ = linecmp::bytes(std::string_view(static_cast<const char *>(view_.buf), size_t(view_.len)));
    } else if (py::isinstance<descriptor>(object)) {
      in_ = linecmp::descriptor(object.cast<const descriptor &>().fd);
    } else if (PyUnicode_Check(object.ptr())) {
      throw py::type_error(
          "a str is neither a path nor contents here: give pathlib.Path(...) for a file, or bytes for contents "
          "(such as subprocess.run(...).stdout without text=True)");
    } else {
      py::object path = py::reinterpret_steal<py::object>(PyOS_FSPath(object.ptr()));
      if (!path) throw py::error_already_set();
      in_ = linecmp::file(fsencoded(path));
    }
  }
  argument(const argument &) = delete;
  argument &operator=(const argument &) = delete;
  ~argument() {
    if (held_) PyBuffer_Release(&view_);
  }
  const linecmp::input &in() const { return in_; }

 private:
  Py_buffer view_{};
  bool held_ = false;
  linecmp::input in_;
};

// The main thread's identity, taken when the module is imported (by the main thread, in
// all but the rarest programs); only there does Python run signal handlers.
unsigned long main_thread = 0;

// A cancel_check for a call made with the GIL released: on the main thread, every 20 ms
// it takes the GIL back to run the signal handlers Python has pending, and says to stop
// when one raises (KeyboardInterrupt, for Ctrl-C), leaving that exception set; elsewhere,
// none. Each check costs a clock read, so a short call never takes the GIL at all.
linecmp::cancel_check signals() {
  if (PyThread_get_thread_ident() != main_thread) return {};
  auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
  return [next]() mutable {
    auto now = std::chrono::steady_clock::now();
    if (now < next) return false;
    next = now + std::chrono::milliseconds(20);
    py::gil_scoped_acquire held;
    return PyErr_CheckSignals() != 0;
  };
}

// Runs call with the GIL released, stopping it for a signal handler that raises, whose
// exception it then raises.
template <class F>
auto unlocked(F call) {
  linecmp::cancel_check cancel = signals();
  bool raised = false;
  decltype(call(cancel)) got;
  {
    py::gil_scoped_release released;
    try {
      got = call(cancel);
    } catch (const linecmp::cancelled &) {
      raised = true;
    }
  }
  if (raised) throw py::error_already_set();
  return got;
}

// compare(a, b, labels, kind): same, the report, the line and byte of the first
// difference (0 when none), the locator, the lines of each input, the differing pairs,
// and, when kind is true, the kind's name, whether each input holds a CR LF and whether
// each lacks its last line feed (otherwise None, and False four times); then the
// explanation. labels is None or a tuple of two. The locator and the explanation are
// valid UTF-8 whatever the inputs, so they decode as it.
py::tuple compare(py::handle a, py::handle b, const std::optional<py::tuple> &labels, bool kind) {
  argument x(a), y(b);
  std::optional<std::pair<std::string, std::string>> named;
  if (labels) {
    if (labels->size() != 2) throw py::value_error("labels must be two: the first input's and the second's");
    named.emplace(fsencoded((*labels)[0]), fsencoded((*labels)[1]));
  }
  linecmp::result r = unlocked([&](const linecmp::cancel_check &cancel) {
    linecmp::compare_options how{kind, cancel};
    return named ? linecmp::compare(x.in(), y.in(), named->first, named->second, how)
                 : linecmp::compare(x.in(), y.in(), how);
  });
  py::object found = r.kind ? py::object(py::str(linecmp::name(*r.kind))) : py::object(py::none());
  return py::make_tuple(r.same, fsdecoded(r.report), r.first.line, r.first.byte, py::str(r.locator), r.lines[0],
                        r.lines[1], r.differing, found, r.crlf[0], r.crlf[1], r.unterminated[0], r.unterminated[1],
                        py::str(r.explanation));
}

// judge(rules, answer, output, flags): the verdict's name and the message.
py::tuple judge(const std::string &rules, py::handle answer, py::handle output, const std::vector<std::string> &flags) {
  argument x(answer), y(output);
  linecmp::judgement j = unlocked(
      [&](const linecmp::cancel_check &cancel) { return linecmp::judge(rules, x.in(), y.in(), flags, cancel); });
  const char *verdict = j.v == linecmp::verdict::accepted       ? "accepted"
                        : j.v == linecmp::verdict::wrong_answer ? "wrong_answer"
                                                                : "presentation_error";
  return py::make_tuple(verdict, fsdecoded(j.message));
}

}  // namespace

PYBIND11_MODULE(_linecmp, m) {
  m.doc() = "The linecmp library's functions; use them through the package linecmp.";
  m.attr("__version__") = LINECMP_VERSION;
  main_thread = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
  py::register_exception<linecmp::judge_error>(m, "JudgeError").doc() =
      "Judging that cannot be done, which is never a verdict: rules or flags that are not valid, an answer that "
      "does not hold what the rules need, or a kernel version in LINECMP_KERNEL that cannot be used.";
  py::class_<descriptor>(m, "Descriptor", "A descriptor, read from where it stands; the caller keeps it open.")
      .def(py::init<int>(), py::arg("fd"))
      .def_readonly("fd", &descriptor::fd)
      .def("__repr__", [](const descriptor &d) { return "linecmp.descriptor(" + std::to_string(d.fd) + ")"; });
  // An input that cannot be opened or read is the OSError of its errno, whose type
  // Python picks (FileNotFoundError, IsADirectoryError, ...). _opening tells the command
  // line which message the program gives.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): the signature is pybind11's
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const linecmp::error &e) {
      int err = e.code().value();
      py::object error =
          py::reinterpret_borrow<py::object>(PyExc_OSError)(err, std::strerror(err), fsdecoded(e.path()));
      error.attr("_opening") = e.opening();
      PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(error.ptr())), error.ptr());
    }
  });
  m.def("compare", &compare, py::arg("a"), py::arg("b"), py::arg("labels"), py::arg("kind"),
        "compare(a, b, labels, kind) -> (same, report, line, byte, locator, lines1, lines2, differing, kind, crlf1, "
        "crlf2, unterminated1, unterminated2, explanation): a and b are each an os.PathLike, contents or a Descriptor; "
        "labels is "
        "None or two labels; kind: find the kind of difference.");
  m.def("judge", &judge, py::arg("rules"), py::arg("answer"), py::arg("output"), py::arg("flags"),
        "judge(rules, answer, output, flags) -> (verdict, message), the verdict one of accepted, wrong_answer and "
        "presentation_error.");
}
