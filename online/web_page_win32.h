// Opening a web page in the owner's browser from any thread. ShellExecute
// wants COM initialised as a single-threaded apartment, which the internet
// library's worker threads are not, so the page is opened from a thread of
// its own that is.
#pragma once

#include <string>

// Returns at once; false when the thread could not be started.
bool OpenWebPageOnStaThread(const std::string& url);

// On the calling thread, which must be in a single-threaded apartment.
void OpenInBrowser(const std::string& url);

// The service's sign-up page, the same way; both dialogs' sign-up buttons.
bool OpenSignUpPage(const std::string& serviceUrl);

// The same thread for any work: runs work(text) there, COM initialised as a
// single-threaded apartment (or as the system allows).
bool RunOnStaThread(void (*work)(const std::string&), const std::string& text);
