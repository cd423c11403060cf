#pragma once

#include "platform/foundation/PathText.hpp"

#include <cstdint>
#include <source_location>
#include <string>
#include <string_view>

namespace prq {

// Where a log call was made: the calling function, the source file's path and the line. Log
// calls take it as a defaulted last argument, so it names the caller without any effort there.
class CallSite {
public:
    // The caller's own place. The compiler's function text ("void corvantis::ConnectView::
    // startConnection()") is cut down to the function's bare name at compile time, and shown as
    // "startConnection()" like the rest of the system's lines.
    consteval CallSite(std::source_location location = std::source_location::current())
        : functionName_(bareFunctionName(location.function_name())),
          fileName_(location.file_name()),
          shownFileName_(platform::foundation::lastPathComponent(fileName_)),
          lineNumber_(location.line()),
          addCallParentheses_(true) {}

    // A place given in words, shown exactly as given.
    constexpr CallSite(std::string_view functionName, std::string_view fileName, std::int64_t lineNumber)
        : functionName_(functionName),
          fileName_(fileName),
          shownFileName_(platform::foundation::lastPathComponent(fileName_)),
          lineNumber_(lineNumber),
          addCallParentheses_(false) {}

    std::string functionName() const {
        std::string name;
        assignFunctionName(name);
        return name;
    }
    // The same into `name`, reusing its storage.
    void assignFunctionName(std::string& name) const {
        name.assign(functionName_);
        if (addCallParentheses_) name += "()";
    }
    // The function's name as given; lines show it as a call ("name()") when `showsAsCall`.
    std::string_view givenFunctionName() const { return functionName_; }
    bool showsAsCall() const { return addCallParentheses_; }
    std::string_view fileName() const { return fileName_; }
    // The file's last path component, as lines show it.
    std::string_view shownFileName() const { return shownFileName_; }
    std::int64_t lineNumber() const { return lineNumber_; }

private:
    // The unqualified name before the parameter list, without template arguments.
    static consteval std::string_view bareFunctionName(std::string_view text) {
        int depth = 0;
        std::size_t open = std::string_view::npos;
        for (std::size_t i = 0; i < text.size() && open == std::string_view::npos; ++i) {
            if (text[i] == '<' || text[i] == '[') ++depth;
            if (text[i] == '>' || text[i] == ']') --depth;
            if (text[i] == '(' && depth == 0) open = i;
        }
        if (open == std::string_view::npos) return text;
        std::size_t end = open;
        if (end > 0 && text[end - 1] == '>') {  // "go<int>(…)"
            for (depth = 0; end > 0; --end) {
                if (text[end - 1] == '>') ++depth;
                if (text[end - 1] == '<' && --depth == 0) break;
            }
            if (end > 0) --end;
        }
        std::size_t start = end;
        while (start > 0 && text[start - 1] != ' ' && text[start - 1] != ':') --start;
        return text.substr(start, end - start);
    }

    std::string_view functionName_;
    std::string_view fileName_;
    std::string_view shownFileName_;
    std::int64_t lineNumber_;
    bool addCallParentheses_;
};

}  // namespace prq
