#include "settings/service_url.h"

#include <algorithm>

bool IsWellFormedServiceUrl(const std::string& url)
{
    const size_t start = url.compare(0, 7, "http://") == 0 ? 7 : url.compare(0, 8, "https://") == 0 ? 8 : 0;
    if (start == 0 || url.size() > SERVICE_URL_MAX_CHARS)
        return false;
    const size_t end = std::min(url.find_first_not_of(HOST_CHARS, start), url.size());
    const std::string host = url.substr(start, end - start);
    if (host.empty() || host.front() == '.' || host.front() == '-' || host.back() == '.' ||
        host.find("..") != std::string::npos)
        return false;
    // Nothing after the host but a port: no path, query, user info or stray character.
    return end == url.size() || (url[end] == ':' && IsValidPort(url.substr(end + 1)));
}

bool IsValidPort(const std::string& port)
{
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long number = std::stoul(port);
    return number >= 1 && number <= 65535;
}

std::string SignUpPageUrl(const std::string& serviceUrl)
{
    return serviceUrl + "/signup.php";
}
