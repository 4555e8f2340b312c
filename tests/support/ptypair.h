#pragma once

#include <QProcess>
#include <QString>

#include <string>

namespace loomway::test {

// Two pseudo-terminals joined by socat: the program opens one end, the test
// plays the device on the other. Stands in for a serial cable.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_ok; }
    QString programEnd() const { return m_a; } // give this path to the program
    QString farEnd() const { return m_b; }     // the test opens this one
    // Ends socat: both ends go away, as when a cable is pulled.
    void breakLine();

private:
    QProcess m_socat;
    QString m_a;
    QString m_b;
    bool m_ok = false;
};

// The far end of a PtyPair, opened raw, for writing and reading bytes.
class FarEnd {
public:
    explicit FarEnd(const QString& path);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    bool ok() const { return m_fd >= 0; }
    void write(const std::string& data);
    // Reads until `count` bytes came or `timeoutMs` passed without a byte,
    // processing Qt events meanwhile so the program side can run.
    std::string read(std::size_t count, int timeoutMs = 3000);
    // Reads whatever arrives within `ms`, processing Qt events.
    std::string readFor(int ms);
    void close();

private:
    int m_fd = -1;
};

} // namespace loomway::test
