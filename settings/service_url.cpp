#include "settings/service_url.h"

#include <cctype>

namespace {

bool IsHostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

}  // namespace

bool IsWellFormedServiceUrl(const std::string& url)
{
    if (url.size() > SERVICE_URL_MAX_CHARS)
        return false;
    size_t start;
    if (url.compare(0, 7, "http://") == 0)
        start = 7;
    else if (url.compare(0, 8, "https://") == 0)
        start = 8;
    else
        return false;

    size_t pos = start;
    while (pos < url.size() && IsHostChar(url[pos]))
        ++pos;
    std::string host = url.substr(start, pos - start);
    if (host.empty() || host.front() == '.' || host.front() == '-' || host.back() == '.' ||
        host.find("..") != std::string::npos)
        return false;
    if (pos == url.size())
        return true;

    if (url[pos] != ':')
        return false;  // a path, a query, user info or a stray character
    return IsValidPort(url.substr(pos + 1));
}

bool IsValidPort(const std::string& port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned long number = 0;
    for (char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        number = number * 10 + unsigned(c - '0');
    }
    return number >= 1 && number <= 65535;
}

std::string SignUpPageUrl(const std::string& serviceUrl)
{
    return serviceUrl + "/signup.php";
}
