// The SMS service's base address: http:// or https://, a host, an optional
// port, no path and no trailing slash, at most 200 characters.
#pragma once

#include <string>

constexpr size_t SERVICE_URL_MAX_CHARS = 200;

// What a host name may hold.
constexpr char HOST_CHARS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.";

bool IsWellFormedServiceUrl(const std::string& url);

// The page where the owner opens an SMS account.
std::string SignUpPageUrl(const std::string& serviceUrl);

// A port as an address writes it: 1 to 65535, in at most five digits.
bool IsValidPort(const std::string& port);
