#include "app/SendClient.h"

#include "app/CommandLine.h"
#include "app/SendLine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace kavelin {

namespace {

using Clock = std::chrono::steady_clock;

// Input bytes of a line beyond which it cannot be a line the server reads, even as UTF-16.
constexpr size_t kLongestInputLine = 64 * 1024;
// Bytes waiting for the socket beyond which no more input is read until the server takes them.
constexpr size_t kMostQueued = 256 * 1024;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

int milliseconds(double seconds) {
    return static_cast<int>(seconds * 1000 + 0.5);
}

// A connected non-blocking socket, or -1 with the reason.
int connectTo(const SendOptions& options, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    if (const int code = ::getaddrinfo(options.host.c_str(), port.c_str(), &hints, &found);
        code != 0) {
        error = ::gai_strerror(code);
        return -1;
    }
    int connected = -1;
    for (addrinfo* a = found; a != nullptr && connected < 0; a = a->ai_next) {
        Descriptor fd(
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        if (fd.get() < 0) {
            error = std::strerror(errno);
            continue;
        }
        int code = ::connect(fd.get(), a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (code == EINPROGRESS) {
            pollfd p{fd.get(), POLLOUT, 0};
            socklen_t length = sizeof code;
            if (::poll(&p, 1, milliseconds(options.timeout)) != 1)
                code = ETIMEDOUT;
            else if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &code, &length) != 0)
                code = errno;
        }
        if (code == 0)
            connected = fd.release();
        else
            error = std::strerror(code);
    }
    ::freeaddrinfo(found);
    return connected;
}

// One conversation: the input's lines out, the replies in, in step.
class Conversation {
public:
    Conversation(const SendOptions& options, int input, int socket, std::FILE* out, std::FILE* err)
        : options_(options), input_(input), socket_(socket), out_(out), err_(err) {}

    int run();

private:
    // Local lines stand in for the reply of a line that was not sent.
    struct Due {
        bool sent;
        std::string local;
    };

    void takeLines();
    void takeLine(std::string_view line);
    void printLocals();
    bool receive();
    bool sendQueued();
    bool readInput();
    int fail(const std::string& why);
    bool replyDue() const { return sentLines_ > 0 || !queued_.empty(); }

    const SendOptions& options_;
    const int input_;
    const int socket_;
    std::FILE* out_;
    std::FILE* err_;

    std::string pending_; // input after the last complete line
    bool inputEnded_ = false;
    bool skipping_ = false; // inside an input line too long to send, up to its line feed
    size_t lineNumber_ = 0;
    std::string queued_; // bytes for the socket
    std::deque<Due> due_;
    size_t sentLines_ = 0; // lines in due_ that wait for a reply
    std::string replies_;  // received after the last complete reply
    bool anyError_ = false;
    Clock::time_point waitingSince_ = Clock::now();
};

void Conversation::takeLine(std::string_view line) {
    ++lineNumber_;
    Result<std::string> sendable = sendableLine(line);
    if (!sendable) {
        std::fprintf(err_, "kavelin send: line %zu not sent: %s\n", lineNumber_,
                     sendable.reason().c_str());
        due_.push_back({false, "ERROR not sent: " + sendable.reason()});
        anyError_ = true;
        return;
    }
    if (!replyDue())
        waitingSince_ = Clock::now();
    queued_ += *sendable;
    due_.push_back({true, {}});
    ++sentLines_;
}

void Conversation::takeLines() {
    size_t start = 0;
    for (size_t feed; (feed = pending_.find('\n', start)) != std::string::npos; start = feed + 1) {
        if (skipping_)
            skipping_ = false;
        else
            takeLine(std::string_view(pending_).substr(start, feed - start));
    }
    pending_.erase(0, start);
    if (!skipping_ && pending_.size() > kLongestInputLine) {
        ++lineNumber_;
        std::fprintf(err_, "kavelin send: line %zu not sent: it is too long\n", lineNumber_);
        due_.push_back({false, "ERROR not sent: the line is too long"});
        anyError_ = true;
        skipping_ = true;
    }
    if (skipping_)
        pending_.clear();
    if (inputEnded_ && !pending_.empty()) {
        takeLine(pending_);
        pending_.clear();
    }
}

void Conversation::printLocals() {
    while (!due_.empty() && !due_.front().sent) {
        std::fprintf(out_, "%s\n", due_.front().local.c_str());
        due_.pop_front();
    }
}

// False when the connection ended or broke.
bool Conversation::receive() {
    char chunk[64 * 1024];
    const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    waitingSince_ = Clock::now();
    replies_.append(chunk, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t feed; (feed = replies_.find('\n', start)) != std::string::npos; start = feed + 1) {
        const std::string_view reply = std::string_view(replies_).substr(start, feed - start);
        if (sentLines_ == 0)
            continue; // nothing was asked: not a reply
        if (reply.substr(0, 5) == "ERROR")
            anyError_ = true;
        std::fwrite(reply.data(), 1, reply.size(), out_);
        std::fputc('\n', out_);
        due_.pop_front();
        --sentLines_;
        printLocals();
    }
    replies_.erase(0, start);
    return true;
}

// False when the connection broke.
bool Conversation::sendQueued() {
    const ssize_t n = ::send(socket_, queued_.data(), queued_.size(), MSG_NOSIGNAL);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    queued_.erase(0, static_cast<size_t>(n));
    return true;
}

// False when the input cannot be read.
bool Conversation::readInput() {
    char chunk[64 * 1024];
    const ssize_t n = ::read(input_, chunk, sizeof chunk);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        inputEnded_ = true;
    pending_.append(chunk, static_cast<size_t>(n));
    takeLines();
    return true;
}

int Conversation::fail(const std::string& why) {
    std::fflush(out_);
    std::fprintf(err_, "kavelin send: %s\n", why.c_str());
    return 2;
}

int Conversation::run() {
    for (;;) {
        printLocals();
        std::fflush(out_);
        if (inputEnded_ && !replyDue())
            return anyError_ ? 1 : 0;
        pollfd fds[2] = {{socket_, POLLIN, 0}, {input_, 0, 0}};
        if (!queued_.empty())
            fds[0].events |= POLLOUT;
        const bool reading = !inputEnded_ && queued_.size() < kMostQueued;
        if (reading)
            fds[1].events = POLLIN;
        int wait = -1;
        if (replyDue()) {
            const auto left = waitingSince_ +
                              std::chrono::milliseconds(milliseconds(options_.timeout)) -
                              Clock::now();
            wait = static_cast<int>(
                std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        const int ready = ::poll(fds, reading ? 2 : 1, wait);
        if (ready < 0 && errno != EINTR)
            return fail(std::string("poll: ") + std::strerror(errno));
        if (ready == 0) {
            char why[160];
            std::snprintf(why, sizeof why,
                          "no reply within %g s (the server serves one client at a time: is "
                          "another one connected?)",
                          options_.timeout);
            return fail(why);
        }
        if (ready < 0)
            continue;
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !receive())
            return fail("the server closed the connection");
        if ((fds[0].revents & POLLOUT) != 0 && !sendQueued())
            return fail("the server closed the connection");
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !readInput())
            return fail(std::string("cannot read the input: ") + std::strerror(errno));
    }
}

} // namespace

bool parseSendArgs(const std::vector<std::string>& args, SendOptions& options, std::string& error) {
    bool haveInput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--host" || a == "--port" || a == "--timeout";
        if (valued && i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--host") {
            options.host = args[++i];
            if (options.host.empty()) {
                error = "--host needs a name or an address";
                return false;
            }
        } else if (a == "--port") {
            if (!parsePort(args[++i], options.port)) {
                error = "--port needs a number from 1 to 65535";
                return false;
            }
        } else if (a == "--timeout") {
            if (!parseSeconds(args[++i], options.timeout)) {
                error = "--timeout needs a number of seconds above 0, such as 30 or 0.5";
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option for send: " + a;
            return false;
        } else if (haveInput) {
            error = "send takes one file, got another: " + a;
            return false;
        } else {
            options.input = a;
            haveInput = true;
        }
    }
    return true;
}

const char* sendUsageText() {
    return "Usage: kavelin send [--host HOST] [--port N] [--timeout S] [FILE|-]\n"
           "\n"
           "Sends the command lines of FILE (standard input when FILE is - or missing) to a\n"
           "running Kavelin server and prints each reply on a line of its own, in order. Lines\n"
           "are sent while replies are read, so a long file goes through at the server's pace.\n"
           "\n"
           "  --host HOST    the server's name or address (default 127.0.0.1)\n"
           "  --port N       its port (default 2031)\n"
           "  --timeout S    seconds to wait for the connection and for each reply that is\n"
           "                 due (default 30; fractions allowed)\n"
           "\n"
           "Lines are UTF-8. The text of 104 and 107 is sent as the UTF-16LE the server reads\n"
           "there, so that echo '107 0 Grüße' | kavelin send measures it. A character whose\n"
           "UTF-16 form holds a byte 0x0A (U+0A00 to U+0AFF, and every U+xx0A such as U+4E0A)\n"
           "would end the line on the way: such a line, a text that is not UTF-8 and a line\n"
           "longer than 1023 bytes as sent are not sent; \"ERROR not sent: REASON\" stands in\n"
           "for the reply. A carriage return at the end of a line is dropped.\n"
           "\n"
           "Exit status: 0 when every reply is OK, 1 when any is ERROR (or a line was not\n"
           "sent), 2 for bad options, when the server cannot be reached, closes the connection\n"
           "or leaves a reply due for the timeout, or when the input cannot be read.\n";
}

int runSend(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    SendOptions options;
    std::string error;
    if (!parseSendArgs(args, options, error)) {
        std::fprintf(err, "kavelin send: %s (kavelin send --help shows the usage)\n",
                     error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sendUsageText(), out);
        return 0;
    }
    Descriptor input(options.input == "-" ? ::dup(STDIN_FILENO)
                                          : ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0) {
        std::fprintf(err, "kavelin send: cannot read %s: %s\n", options.input.c_str(),
                     std::strerror(errno));
        return 2;
    }
    Descriptor socket(connectTo(options, error));
    if (socket.get() < 0) {
        std::fprintf(err, "kavelin send: cannot connect to %s port %d: %s\n", options.host.c_str(),
                     options.port, error.c_str());
        return 2;
    }
    return Conversation(options, input.get(), socket.get(), out, err).run();
}

} // namespace kavelin
