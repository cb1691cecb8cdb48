#include "SmtpSubmit.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

namespace {

/// Reads one reply, every line of it; its code, or 0 when the server went away.
int reply(int fd)
{
    std::string lineSoFar;
    char c = 0;
    while (::read(fd, &c, 1) == 1) {
        lineSoFar += c;
        if (c != '\n')
            continue;
        if (lineSoFar.size() >= 4 && lineSoFar[3] == ' ')
            return std::stoi(lineSoFar.substr(0, 3));
        lineSoFar.clear();
    }
    return 0;
}

bool say(int fd, const std::string& text, int expected)
{
    return ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && reply(fd) == expected;
}

} // namespace

bool submit(int port, const std::string& recipient, const std::string& body)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && reply(fd) == 220
                   && say(fd, "EHLO client.bench.example\r\n", 250)
                   && say(fd, "MAIL FROM:<alice@bench.example>\r\n", 250)
                   && say(fd, "RCPT TO:<" + recipient + ">\r\n", 250) && say(fd, "DATA\r\n", 354)
                   && say(fd, body, 250) && say(fd, "QUIT\r\n", 221);
    ::close(fd);
    return sent;
}

} // namespace bench
