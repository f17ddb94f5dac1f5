#pragma once

namespace pw {

// Settings of the script engine in this process and in the web processes started
// from it, which inherit its environment and read them when their engine starts:
// call before the first web view is made, best while the process has one thread.
// A value the user set stays as it is.
//
// The engine keeps the compiled form of each script it has run, with the script's
// text, so that running the same text again skips the parse. Every script the shell
// evaluates is run once, and a file reaches the page as one script that holds the
// whole file in Base64: kept, it would stay in memory some 1.3 times the file's size
// long after the page has taken the bytes. So that keeping is turned off.
void configureScriptEngine();

}  // namespace pw
