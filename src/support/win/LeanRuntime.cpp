// Two pieces of the C++ runtime that the Windows program supplies itself, because the
// runtime's own ones link far more than they do. Section garbage collection cannot trim the
// runtime's objects: their unwind tables keep every function of an object alive once one of
// them is linked.
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "support/Failure.h"

namespace {

// Expands the two directives the library's range-check messages use, %s and %zu.
std::string ExpandLibraryMessage(const char* format, va_list arguments) {
  std::string text;
  for (const char* at = format; *at != '\0'; ++at) {
    if (at[0] == '%' && at[1] == 's') {
      text += va_arg(arguments, const char*);
      ++at;
    } else if (at[0] == '%' && at[1] == 'z' && at[2] == 'u') {
      text += std::to_string(va_arg(arguments, std::size_t));
      at += 2;
    } else {
      text += *at;
    }
  }
  return text;
}

}  // namespace

// The default terminate handler names the pending exception's type on stderr, which a
// windowed program does not have, and for that links the whole demangler and a printf, a
// large share of the program. Nothing should ever reach it, since the entry point and every
// window procedure catch all exceptions; if something does, the process ends the same way,
// without the message.
namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// The containers and strings report misuse through these. The library's versions throw
// std::length_error and its kin, whose texts live in the runtime's older string type: linking
// them brings a second copy of the string library. These throw the same texts as
// vo::Failure, which every handler that shows an error already catches as std::exception.
namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }

void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }

void __throw_length_error(const char* what) { throw vo::Failure(what); }

void __throw_logic_error(const char* what) { throw vo::Failure(what); }

void __throw_out_of_range_fmt(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = ExpandLibraryMessage(format, arguments);
  va_end(arguments);
  throw vo::Failure(std::move(text));
}

}  // namespace std
