#pragma once
// The general exception of the library: a fixed English text composed by the raiser.
// Database errors and every other failure kind derive from it, so one catch clause
// sees them all and Message() reads the text.
#include <exception>
#include <string>

namespace quorvel {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    ~Exception() override;

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

} // namespace quorvel
