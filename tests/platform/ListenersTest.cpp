#include "Listeners.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brevane::launchd;

namespace {

/// A listening socket on a free loopback port, closed when done.
class Listener {
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(m_fd, 4) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~Listener() { close(); }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace

TEST(Listeners, ServiceNamesAreNumbersOrServices)
{
    EXPECT_EQ(servicePort("995"), 995);
    EXPECT_EQ(servicePort("1"), 1);
    EXPECT_EQ(servicePort("65535"), 65535);
    EXPECT_EQ(servicePort("0"), std::nullopt);
    EXPECT_EQ(servicePort("65536"), std::nullopt);
    EXPECT_EQ(servicePort("-110"), std::nullopt);
    EXPECT_EQ(servicePort("110 "), std::nullopt);
    EXPECT_EQ(servicePort(""), std::nullopt);
    EXPECT_EQ(servicePort("no-such-service-here"), std::nullopt);
}

TEST(Listeners, WaitEndsWhenThePortListensOrTheJobIsGone)
{
    Listener listener;
    ASSERT_GT(listener.port(), 0);
    EXPECT_TRUE(acceptsConnections(listener.port()));
    EXPECT_TRUE(waitForListener(listener.port(), 1000, [] { return true; }));

    const int port = listener.port();
    listener.close();
    EXPECT_FALSE(acceptsConnections(port));
    // A job that has ended will never listen: no waiting for the timeout.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waitForListener(port, 5000, [] { return false; }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // A running job that never listens is given up on after the timeout.
    EXPECT_FALSE(waitForListener(port, 100, [] { return true; }));
}
