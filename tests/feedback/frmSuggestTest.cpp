#include "feedback/frmSuggest.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <memory>
#include <vector>

#include "widgets/ImageButton.h"

namespace tessaro {
namespace {

// A loopback HTTP server that records the first request line and answers it
// with a given status, or not at all.
class LoopbackServer : public QObject {
public:
    explicit LoopbackServer(int status) : m_status(status) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                m_sockets.emplace_back(s);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { onRead(s); });
            }
        });
    }
    QString site() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int requests = 0;
    QByteArray target;  // path and query of the request line, as sent

private:
    void onRead(QTcpSocket* s) {
        m_buffer += s->readAll();
        if (!m_buffer.contains("\r\n\r\n")) return;
        const QList<QByteArray> line = m_buffer.left(m_buffer.indexOf("\r\n")).split(' ');
        ++requests;
        if (line.size() >= 2) target = line[1];
        m_buffer.clear();
        if (m_status == 0) return;  // never answer
        s->write("HTTP/1.1 " + QByteArray::number(m_status) +
                 " X\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
        s->flush();
        s->disconnectFromHost();
    }

    int m_status;
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
    QByteArray m_buffer;
};

// key -> value of a raw query, each value percent-decoded as UTF-8 (no "+"
// rule: a "+" in the raw query stays a "+").
std::vector<std::pair<QString, QString>> decodeQuery(const QByteArray& query) {
    std::vector<std::pair<QString, QString>> items;
    for (const QByteArray& pair : query.split('&')) {
        const int eq = pair.indexOf('=');
        items.emplace_back(QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(eq))),
                           QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1))));
    }
    return items;
}

// The next widget that Tab moves the focus to.
QWidget* nextTabStop(QWidget* w) {
    do {
        w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
}

void fill(frmSuggest& form, const QString& name, const QString& email, const QString& comment) {
    form.txtName()->setText(name);
    form.txtEMail()->setText(email);
    form.txtComment()->setPlainText(comment);
}

TEST(FrmSuggestTest, ControlsCarryTheirTextsLimitsAndTabOrder) {
    frmSuggest form(nullptr, "http://127.0.0.1:9");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("建议和意见"));
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.txtName()->toolTip(), "Your Name");
    EXPECT_EQ(form.txtName()->maxLength(), 50);
    EXPECT_EQ(form.txtEMail()->toolTip(), "Email");
    EXPECT_EQ(form.txtEMail()->maxLength(), 100);
    EXPECT_EQ(form.imgSend()->toolTip(), "Send your feedback now");
    EXPECT_EQ(form.Command1()->text(), "Send");
    EXPECT_EQ(form.Command2()->text(), "Back");
    EXPECT_EQ(form.Command3()->text(), QStringLiteral("发送"));
    EXPECT_EQ(form.Command4()->text(), QStringLiteral("返回"));
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), QStringLiteral("姓名："));
    EXPECT_EQ(form.findChild<QLabel*>("Label2")->text(), QStringLiteral("EMAIL："));
    EXPECT_EQ(form.findChild<QLabel*>("Label3")->text(), QStringLiteral("留言："));
    EXPECT_EQ(nextTabStop(&form), form.txtName());
    EXPECT_EQ(nextTabStop(form.txtName()), form.txtEMail());
    EXPECT_EQ(nextTabStop(form.txtEMail()), form.txtComment());
    EXPECT_TRUE(form.txtComment()->tabChangesFocus());

    form.txtComment()->setPlainText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(form.txtComment()->toPlainText().size(), frmSuggest::kCommentLimit);
}

TEST(FrmSuggestTest, EachMissingFieldIsAskedForWithFocusAndNothingIsSent) {
    LoopbackServer server(200);
    struct Row {
        QString name, email, comment;
        QString status;
        int focus;  // 0 name, 1 email, 2 comment
    };
    const std::vector<Row> rows = {
        {"", "", "", QStringLiteral("您的姓名？"), 0},
        {"", "a@b", "hi", QStringLiteral("您的姓名？"), 0},
        {"Li", "", "hi", QStringLiteral("您的Email？"), 1},
        {"Li", "a@b", "", QStringLiteral("您的意见？"), 2},
    };
    for (const Row& r : rows) {
        frmSuggest form(nullptr, server.site());
        form.show();
        fill(form, r.name, r.email, r.comment);
        form.Command1()->setFocus();
        form.Command3()->click();
        SCOPED_TRACE(r.status.toStdString());
        EXPECT_TRUE(form.lblSending()->isVisible());
        EXPECT_EQ(form.lblSending()->text(), r.status);
        QWidget* fields[] = {form.txtName(), form.txtEMail(), form.txtComment()};
        EXPECT_EQ(form.focusWidget(), fields[r.focus]);
        EXPECT_TRUE(form.Command1()->isEnabled());
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requests, 0);
}

TEST(FrmSuggestTest, SendsOneGetWithEveryValueArrivingAsTyped) {
    LoopbackServer server(200);
    frmSuggest form(nullptr, server.site());
    form.show();
    const QString name = QStringLiteral("张 三&=+");
    const QString email = QStringLiteral("a+b@example.com");
    const QString comment = QStringLiteral("好用 & 快! 1+1=2 #tag 100% ok");
    fill(form, name, email, comment);
    QSignalSpy finished(&form, &frmSuggest::sendFinished);
    form.Command1()->click();
    EXPECT_EQ(form.lblSending()->text(), QStringLiteral("正在发送..."));
    EXPECT_FALSE(form.Command1()->isEnabled());
    EXPECT_FALSE(form.Command3()->isEnabled());
    EXPECT_FALSE(form.imgSend()->isEnabled());
    ASSERT_TRUE(finished.wait(5000));

    EXPECT_EQ(server.requests, 1);
    ASSERT_TRUE(server.target.startsWith("/suggest/post.php?")) << server.target.toStdString();
    const QByteArray query = server.target.mid(server.target.indexOf('?') + 1);
    EXPECT_TRUE(query.contains("&comment=(MP4)")) << query.toStdString();
    const auto items = decodeQuery(query);
    ASSERT_EQ(items.size(), 3u) << query.toStdString();
    EXPECT_EQ(items[0], std::make_pair(QStringLiteral("name"), name));
    EXPECT_EQ(items[1], std::make_pair(QStringLiteral("age"), email));
    EXPECT_EQ(items[2], std::make_pair(QStringLiteral("comment"), QStringLiteral("(MP4)") + comment));

    EXPECT_EQ(finished.at(0).at(0).toBool(), true);
    EXPECT_EQ(form.lblSending()->text(), QStringLiteral("完毕."));
    EXPECT_FALSE(form.Command1()->isEnabled());  // stays disabled until the form closes
    form.Send();
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requests, 1);
}

TEST(FrmSuggestTest, AFailedRequestSaysSo) {
    const QString failed = QStringLiteral("发送失败，请稍后再试。");
    {
        SCOPED_TRACE("error status");
        LoopbackServer server(500);
        frmSuggest form(nullptr, server.site());
        form.show();
        fill(form, "a", "b", "c");
        QSignalSpy finished(&form, &frmSuggest::sendFinished);
        form.Command3()->setFocus();
        form.Send();
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(form.lblSending()->text(), failed);
        EXPECT_EQ(form.focusWidget(), form.Command3());  // not on 返回, which would close it
        // The user can send again without retyping.
        EXPECT_TRUE(form.Command1()->isEnabled());
        EXPECT_TRUE(form.imgSend()->isEnabled());
        form.Command3()->click();
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(server.requests, 2);
        EXPECT_NE(server.target.indexOf("comment=(MP4)c"), -1);
    }
    {
        SCOPED_TRACE("refused connection");
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        const quint16 port = closed.serverPort();
        closed.close();
        frmSuggest form(nullptr, QStringLiteral("http://127.0.0.1:%1").arg(port));
        fill(form, "a", "b", "c");
        QSignalSpy finished(&form, &frmSuggest::sendFinished);
        form.Send();
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(finished.at(0).at(0).toBool(), false);
        EXPECT_EQ(form.lblSending()->text(), failed);
    }
    {
        SCOPED_TRACE("no answer in time");
        LoopbackServer server(0);
        frmSuggest form(nullptr, server.site());
        form.setTimeoutMs(300);
        fill(form, "a", "b", "c");
        QSignalSpy finished(&form, &frmSuggest::sendFinished);
        form.Send();
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(server.requests, 1);
        EXPECT_EQ(form.lblSending()->text(), failed);
    }
}

TEST(FrmSuggestTest, RequestAddressUsesTheSiteConstantPathAndKeys) {
    const QUrl url = frmSuggest::requestUrl(QString::fromLatin1(kMakerSite), "n", "e", "c");
    EXPECT_EQ(url.toString(QUrl::FullyEncoded).toStdString(),
              std::string(kMakerSite) + "/suggest/post.php?name=n&age=e&comment=(MP4)c");
}

TEST(FrmSuggestTest, BackAndExitCloseTheForm) {
    for (int which = 0; which < 4; ++which) {
        frmSuggest form(nullptr, "http://127.0.0.1:9");
        form.show();
        switch (which) {
        case 0: form.Command2()->click(); break;
        case 1: form.Command4()->click(); break;
        case 2: emit form.imgBack()->clicked(); break;
        case 3: emit form.imgExit()->clicked(); break;
        }
        EXPECT_FALSE(form.isVisible()) << which;
    }
}

}  // namespace
}  // namespace tessaro
