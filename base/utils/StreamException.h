#pragma once
// Stream-style message builder for exceptions: the thrower constructs the exception with the
// start of its message and streams the rest into it, e.g.
//     throw SeqProcMemoryError("Attempt to read ") << name << " at address " << address;
// The text lives in m_message; the Base part is always constructed with an empty text.

#include <sstream>
#include <string>
#include <utility>

template <typename Base> class StreamException : public Base {
public:
    StreamException() : Base(std::string()) {}
    explicit StreamException(const std::string& message)
        : Base(std::string()), m_message(message) {}
    explicit StreamException(std::string&& message)
        : Base(std::string()), m_message(std::move(message)) {}
    StreamException(const StreamException& other) = default;
    StreamException(StreamException&& other) noexcept = default;
    virtual ~StreamException() = default;

    // Keeps any other what() overload of Base (such as a non-const one) visible.
    using Base::what;

    // The whole message. Subclasses that compose their text from more than m_message
    // override this; what() follows the override. May hold NUL bytes, unlike what().
    virtual std::string message() const { return m_message; }
    // The text streamed into the exception, without what an override of message() puts
    // around it (a source error's positions and quoted lines).
    const std::string& streamedMessage() const { return m_message; }

    // The pointer stays valid until the object is destroyed or its message changes; the
    // buffer is only replaced when the text differs, so repeated calls keep earlier pointers.
    // Not marked override, like message(): which base members these override depends on Base.
    virtual const char* what() const noexcept {
        std::string text = message();
        if (text != m_whatBuffer) {
            m_whatBuffer = std::move(text);
        }
        return m_whatBuffer.c_str();
    }

    // Appends the value: a text as it is, an integer in decimal (as std::to_string gives
    // it), anything else as its stream operator prints it (so bool gives "1" or "0").
    template <typename T> StreamException& operator<<(const T& value) {
        appendToMessage(value);
        return *this;
    }

protected:
    void appendToMessage(const std::string& text) { m_message += text; }
    void appendToMessage(const char* text) {
        if (text != nullptr) {
            m_message += text;
        }
    }
    void appendToMessage(short value) { m_message += std::to_string(value); }
    void appendToMessage(unsigned short value) { m_message += std::to_string(value); }
    void appendToMessage(int value) { m_message += std::to_string(value); }
    void appendToMessage(unsigned int value) { m_message += std::to_string(value); }
    void appendToMessage(long value) { m_message += std::to_string(value); }
    void appendToMessage(unsigned long value) { m_message += std::to_string(value); }
    // Any other type is formatted as its stream operator prints it (bool gives "1" or "0").
    template <typename T> void appendToMessage(const T& value) {
        std::ostringstream stream;
        stream << value;
        m_message += stream.str();
    }

    std::string m_message;
    mutable std::string m_whatBuffer;
};

// A concrete exception class derives from StreamExceptionOf<itself, its base>: the stream
// operator then returns the concrete class, so that an exception built and streamed into in
// one throw expression is thrown (and caught) as that class.
template <class Derived, class Base> class StreamExceptionOf : public Base {
public:
    using Base::Base;

    template <typename T> Derived& operator<<(const T& value) {
        Base::operator<<(value);
        return static_cast<Derived&>(*this);
    }
};
