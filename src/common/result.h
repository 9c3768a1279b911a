// How every fallible step of the core says how it went: a value, or an error
// with a code to act on, the offset in the input where it applies and the
// text the user is shown. Marked [[nodiscard]], so no caller drops it unread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vornix {

/// What went wrong, for code that acts on it; the message says it to a person.
enum class ErrorCode : uint8_t {
  CannotOpen,     // the input, or a folder, could not be opened, read or made
  TooLarge,       // refused unread: larger than any real one can be
  Truncated,      // a record or a data block runs past the end of its input
  NoHeader,       // a setup description shorter than its header
  SizeWrong,      // a setup description whose size field is not its size
  BadSignature,   // a setup description that does not begin as one
  ListingFailed,  // the cabinet a description comes from could not be listed
  NotACabinet,    // a file that is empty or does not begin with "MSCF"
  Damaged,        // a header or a data block that cannot be decoded
  Overlap,        // a cabinet whose entries hold more than its folders declare
  WriteFailed,    // an output file could not be created or written whole
  Stopped,        // a stop was requested by a signal
  LibraryFailed,  // the cabinet library could not start
  Syntax,         // a document that is not well-formed XML
  TooDeep,        // a document nested deeper than any real one
  NotATheme,      // a package with no theme description
  // Base64 text (the four ways it can be malformed)
  Base64Character,  // "=" where a data character is required
  Base64Length,     // a length (alphabet and "=" only) not a multiple of four
  Base64EarlyPadding,
  Base64Padding,  // a third "=" not followed by a fourth
};

struct Error {
  ErrorCode Code = ErrorCode::CannotOpen;
  /// The byte (or character) of the input the error applies to, when one does.
  std::optional<uint64_t> Offset;
  /// The text the user sees (Windows-1252).
  std::string Message;
};

inline Error MakeError(ErrorCode code, std::string message, std::optional<uint64_t> offset = std::nullopt) {
  return Error{code, offset, std::move(message)};
}

/// A value, or the Error that stopped it.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}      // NOLINT: a value is a success
  Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}  // NOLINT: so is an error a failure

  bool ok() const { return m_state.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(m_state); }
  const T& value() const& { return std::get<0>(m_state); }
  T&& value() && { return std::get<0>(std::move(m_state)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  /// Valid only when !ok().
  const Error& error() const { return std::get<1>(m_state); }
  /// The error's message; empty on success.
  std::string message() const { return ok() ? std::string() : error().Message; }

 private:
  std::variant<T, Error> m_state;
};

/// Success with nothing to give, or the Error.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : m_error(std::move(error)) {}  // NOLINT: an error is a failure

  bool ok() const { return !m_error.has_value(); }
  explicit operator bool() const { return ok(); }
  /// Valid only when !ok().
  const Error& error() const { return *m_error; }
  std::string message() const { return ok() ? std::string() : m_error->Message; }

 private:
  std::optional<Error> m_error;
};

}  // namespace vornix
