#include "ui/aboutwindow.h"

#include "ui/documents.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace loomway {

namespace {

QLabel* link(QWidget* parent, const char* name, const QString& caption, const char* document) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                       .arg(ShippedDocumentUrl(QString::fromLatin1(document)).toString(),
                            caption.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    const QString fileName = QString::fromLatin1(document);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [fileName](const QString&) { OpenShippedDocument(fileName); });
    return label;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LW_About"));
    setWindowTitle(QStringLiteral("About Palm Loomway"));

    auto* name = new QLabel(QStringLiteral("Palm Loomway"), this);
    name->setObjectName(QStringLiteral("lblProduct"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);

    auto* version = new QLabel(QStringLiteral("Version " LOOMWAY_VERSION), this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto* purpose =
        new QLabel(QStringLiteral("Relays a Palm handheld's serial port to a modem port, and takes "
                                  "clipboard and print requests from the handheld."),
                   this);
    purpose->setObjectName(QStringLiteral("lblPurpose"));
    purpose->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(purpose);
    layout->addSpacing(8);
    layout->addWidget(link(this, "lblHome", QStringLiteral("QUILLON Home Page"), kUserGuide));
    layout->addWidget(link(this, "lblNews", QStringLiteral("Palm Loomway Hot News!"), kChangeLog));
    layout->addSpacing(8);
    layout->addWidget(buttons);
    setMinimumWidth(340);
}

} // namespace loomway
