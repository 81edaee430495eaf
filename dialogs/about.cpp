#include "about.h"
#include "dialogseam.h"
#include "formscale.h"
#include "quillmar_version.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

namespace {

// Layout texts. The version line is the template with this build's four numbers filled in.
constexpr char VersionTemplate[] = "Version %d.%d.%d (build %d) ";
constexpr char WebAddress[] = "https://quillmar.example.org/";
constexpr char MailAddress[] = "mailto:quillmar@example.org";
constexpr char BannerResource[] = ":/images/banner.png";

QLabel* AddressLabel(const char* name, const QString& text, const QRect& bounds, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(FormFont(10));
    label->setGeometry(bounds);
    // Moves must reach the label without a button held, or it could not underline on hover.
    label->setMouseTracking(true);
    return label;
}

} // namespace

TAboutForm::TAboutForm(DialogSeam& seam, QWidget* parent)
    : TInfoForm(QStringLiteral("About..."), 154, parent), m_seam(seam)
{
    const FormScale px(this);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image"));
    m_image->setGeometry(px(4, 6, 242, 80));
    m_image->setAlignment(Qt::AlignCenter);
    // The banner's pixels go to the screen one for one, as they fit the area at the design
    // resolution. On a coarser screen the area shrinks below the picture, which then shrinks
    // with it rather than be cut off at all four sides.
    const qreal ratio = devicePixelRatioF();
    QPixmap banner(QString::fromLatin1(BannerResource));
    banner.setDevicePixelRatio(ratio);
    const QSizeF shown = banner.deviceIndependentSize();
    if (shown.width() > m_image->width() || shown.height() > m_image->height()) {
        banner =
            banner.scaled(m_image->size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        banner.setDevicePixelRatio(ratio);
    }
    m_image->setPixmap(banner);

    m_versionLabel = new QLabel(QString::fromLatin1(VersionTemplate), this);
    m_versionLabel->setObjectName(QStringLiteral("VersionLabel"));
    m_versionLabel->setTextFormat(Qt::PlainText);
    m_versionLabel->setFont(FormFont(10));
    m_versionLabel->setGeometry(px(4, 96, 242, 20));
    m_versionLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_httpLabel =
        AddressLabel("HttpLabel", QString::fromLatin1(WebAddress), px(104, 144, 136, 20), this);
    m_mailLabel =
        AddressLabel("MailLabel", QString::fromLatin1(MailAddress), px(104, 168, 136, 20), this);
    m_httpLabel->installEventFilter(this);
    m_mailLabel->installEventFilter(this);
    FitAddresses();

    FormCreate();
}

void TAboutForm::FitAddresses()
{
    // Like any label, an address takes the width of its text, so the pointer counts as over it
    // exactly where it is over the text. Full addresses are wider than the room first planned
    // for them; rather than cut one off, the dialog widens, its banner and version line staying
    // centred and everything else where it was.
    const FormScale px(this);
    int right = 0;
    for (QLabel* label : {m_httpLabel, m_mailLabel}) {
        label->resize(label->sizeHint().width(), label->height());
        right = qMax(right, label->x() + label->width());
    }
    const int needed = right + px(10); // the margin the layout left right of the addresses
    if (needed <= width())
        return;
    setFixedWidth(needed);
    for (QWidget* centred : {static_cast<QWidget*>(m_image), static_cast<QWidget*>(m_versionLabel)})
        centred->move((needed - centred->width()) / 2, centred->y());
}

void TAboutForm::FormCreate()
{
    // The build's own version record: major.minor.release.build, each a 16-bit number.
    m_versionLabel->setText(QString::asprintf(
        VersionTemplate, int(quint16(QUILLMAR_VERSION_MAJOR)), int(quint16(QUILLMAR_VERSION_MINOR)),
        int(quint16(QUILLMAR_VERSION_PATCH)), int(quint16(QUILLMAR_VERSION_BUILD))));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && (label == m_httpLabel || label == m_mailLabel)) {
        switch (event->type()) {
        case QEvent::MouseMove:
            MailLabelMouseMove(label, static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        case QEvent::MouseButtonRelease: {
            // A click is a left button released over the label it was pressed on; Qt sends
            // the release to that label wherever the pointer is.
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                label->rect().contains(mouse->position().toPoint()))
                MailLabelClick(label);
            break;
        }
        default:
            break;
        }
    }
    return TInfoForm::eventFilter(watched, event);
}

void TAboutForm::MailLabelClick(QLabel* label)
{
    m_seam.OpenUrl(QUrl(label->text()));
}

void TAboutForm::MailLabelMouseMove(QLabel* label, QPoint pos)
{
    const bool inside =
        pos.x() >= 0 && pos.x() < label->width() && pos.y() >= 0 && pos.y() < label->height();
    // While the pointer is inside, the label holds the mouse grab, so it still hears the first
    // move that lands outside, however far the pointer jumped; that move gives the grab back.
    if (inside) {
        if (QWidget::mouseGrabber() != label)
            label->grabMouse();
    } else if (QWidget::mouseGrabber() == label) {
        label->releaseMouse();
    }
    SetHover(label, inside);
}

void TAboutForm::SetHover(QLabel* label, bool inside)
{
    if (label->font().underline() == inside)
        return;
    QFont font = label->font();
    font.setUnderline(inside);
    label->setFont(font);
}

void TAboutForm::hideEvent(QHideEvent* event)
{
    // A grab held by a hidden label would swallow every pointer event of the main window.
    for (QLabel* label : {m_httpLabel, m_mailLabel}) {
        if (QWidget::mouseGrabber() == label)
            label->releaseMouse();
        SetHover(label, false);
    }
    TInfoForm::hideEvent(event);
}
