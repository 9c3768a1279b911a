#include "ui/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QVariant>
#include <QtEndian>
#include <cstdlib>

namespace vornix {
namespace {

constexpr qsizetype kHeaderSize = 12;
// A hand-over carries file names; anything larger is not one.
constexpr quint32 kMaxText = 1u << 20;
constexpr int kSearches = 11;
constexpr int kPauseMs = 1000;

QString UserName() {
  for (const char* var : {"USER", "USERNAME", "LOGNAME"})
    if (const char* v = std::getenv(var); v && *v) return QString::fromLocal8Bit(v);
  return QStringLiteral("user");
}

}  // namespace

QString InstanceName() {
  QString name = QString::fromLatin1(kInstanceGuid) + "-" + UserName();
  if (const char* tag = std::getenv("VORNIX_INSTANCE_TAG"); tag && *tag) name += "-" + QString::fromLocal8Bit(tag);
  return name;
}

QByteArray EncodeHandOver(const QStringList& args) {
  QByteArray text;
  if (args.size() == 1) {
    text = args[0].toLocal8Bit();
  } else {
    for (const QString& a : args) text += a.toLocal8Bit() + "\r\n";
  }
  QByteArray message(kHeaderSize, '\0');
  qToLittleEndian<quint64>(static_cast<quint64>(args.size()), message.data());
  qToLittleEndian<quint32>(static_cast<quint32>(text.size() + 1), message.data() + 8);
  message += text;
  message += '\0';
  return message;
}

QStringList SplitHandOverText(quint64 count, const QByteArray& text) {
  QStringList out;
  if (count == 1) {
    out << QString::fromLocal8Bit(text);
    return out;
  }
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    out << QString::fromLocal8Bit(text.mid(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) out << QString::fromLocal8Bit(text.mid(start));
  return out;
}

DecodeState DecodeHandOver(const QByteArray& buffer, QStringList& args, qsizetype& consumed) {
  if (buffer.size() < kHeaderSize) return DecodeState::Incomplete;
  const auto count = qFromLittleEndian<quint64>(buffer.constData());
  const auto cbData = qFromLittleEndian<quint32>(buffer.constData() + 8);
  if (cbData == 0 || cbData > kMaxText) return DecodeState::Invalid;
  if (buffer.size() - kHeaderSize < static_cast<qsizetype>(cbData)) return DecodeState::Incomplete;
  QByteArray text = buffer.mid(kHeaderSize, cbData);
  // The text ends at its zero byte, wherever the sender put it.
  const qsizetype zero = text.indexOf('\0');
  if (zero >= 0) text.truncate(zero);
  args = SplitHandOverText(count, text);
  consumed = kHeaderSize + cbData;
  return DecodeState::Complete;
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  if (m_server) m_server->close();
}

bool SingleInstance::listen() {
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(InstanceName())) {
    delete m_server;
    m_server = nullptr;
    return false;
  }
  connect(m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      if (socket->bytesAvailable() > 0) readFrom(socket);
    }
  });
  return true;
}

void SingleInstance::readFrom(QLocalSocket* socketGiven) {
  // Handling an argument may run a modal window, in whose event loop a
  // sender that gave up has its connection deleted.
  const QPointer<QLocalSocket> socket(socketGiven);
  QByteArray buffer = socket->property("handOver").toByteArray() + socket->readAll();
  for (;;) {
    QStringList args;
    qsizetype consumed = 0;
    const DecodeState state = DecodeHandOver(buffer, args, consumed);
    if (state == DecodeState::Invalid) {
      socket->abort();
      return;
    }
    if (state == DecodeState::Incomplete) break;
    buffer.remove(0, consumed);
    for (const QString& a : args)
      if (m_onParameter) m_onParameter(a);
    if (!socket) return;
    // The sender waits until every argument has been handled.
    socket->write("\x01", 1);
    socket->flush();
  }
  socket->setProperty("handOver", buffer);
}

bool SingleInstance::AlreadyRunning(const QStringList& args) {
  Q_ASSERT_X(!m_called, "AlreadyRunning", "Do not call AlreadyRunning more than once!");
  m_called = true;
  // Ask first, listen second: listening with access options replaces an
  // existing socket file, so it cannot tell that another copy holds the name.
  const QString name = InstanceName();
  for (int search = 0; search < kSearches; ++search) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(kPauseMs)) {
      if (args.isEmpty()) return true;
      socket.write(EncodeHandOver(args));
      socket.waitForBytesWritten(-1);
      // Wait for the first copy to handle the arguments (it may show dialogs).
      while (socket.state() == QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
        socket.waitForReadyRead(-1);
      return true;
    }
    // No copy holds the name (none ever did, or one ended without closing it).
    if (socket.error() == QLocalSocket::ServerNotFoundError || socket.error() == QLocalSocket::ConnectionRefusedError) {
      if (listen()) return false;
    }
    QThread::msleep(kPauseMs);
  }
  return true;  // the first copy never answered: the arguments are dropped
}

}  // namespace vornix
