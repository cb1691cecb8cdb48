#include "shell/ToolbarIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace {

QStyle::StandardPixmap standardIconFor(const QString& label)
{
    static const QHash<QString, QStyle::StandardPixmap> icons {
        { QStringLiteral("Outgoing"), QStyle::SP_ArrowForward },
        { QStringLiteral("Fetchmail"), QStyle::SP_ArrowDown },
        { QStringLiteral("Mail Log"), QStyle::SP_FileDialogDetailedView },
        { QStringLiteral("Mail Queue"), QStyle::SP_FileDialogListView },
        { QStringLiteral("Deliverability"), QStyle::SP_DialogApplyButton },
        { QStringLiteral("Filtering"), QStyle::SP_MessageBoxWarning },
        { QStringLiteral("Status"), QStyle::SP_MessageBoxInformation },
        { QStringLiteral("Postfix"), QStyle::SP_MediaPlay },
    };
    return icons.value(label, QStyle::SP_CustomBase);
}

void drawServer(QPainter& painter, int size)
{
    const qreal unit = size / 32.0;
    painter.setPen(QPen(QColor(0x30, 0x30, 0x38), unit));
    painter.setBrush(QColor(0x5a, 0x62, 0x70));
    painter.drawRoundedRect(QRectF(7 * unit, 2 * unit, 18 * unit, 28 * unit), 2 * unit, 2 * unit);
    painter.setPen(QPen(QColor(0xd8, 0xdc, 0xe2), 1.5 * unit));
    for (const qreal y : { 8.0, 13.0, 18.0 })
        painter.drawLine(QPointF(10 * unit, y * unit), QPointF(22 * unit, y * unit));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3c, 0xc8, 0x50));
    painter.drawEllipse(QPointF(12 * unit, 25 * unit), 2 * unit, 2 * unit);
}

void drawPadlock(QPainter& painter, int size)
{
    const qreal unit = size / 32.0;
    painter.setPen(QPen(QColor(0x6b, 0x4e, 0x00), 2 * unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(21 * unit, 16 * unit, 8 * unit, 9 * unit), 0, 180 * 16);
    painter.setPen(QPen(QColor(0x6b, 0x4e, 0x00), unit));
    painter.setBrush(QColor(0xf2, 0xc1, 0x2e));
    painter.drawRect(QRectF(19.5 * unit, 20.5 * unit, 11 * unit, 9 * unit));
}

void drawBadge(QPainter& painter, int size, const QString& word, const QColor& colour, bool secure)
{
    const qreal unit = size / 32.0;
    painter.setPen(QPen(colour.darker(160), unit));
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(1.5 * unit, 4.5 * unit, 29 * unit, 23 * unit), 4 * unit, 4 * unit);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>((word.size() > 3 ? 9 : 11) * unit));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF text
        = secure ? QRectF(2 * unit, 5 * unit, 28 * unit, 14 * unit) : QRectF(2 * unit, 5 * unit, 28 * unit, 22 * unit);
    painter.drawText(text, Qt::AlignCenter, word);
    if (secure)
        drawPadlock(painter, size);
}

QPixmap drawn(const QString& label, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor pop(0x2f, 0x6f, 0xc0);
    const QColor imap(0x1f, 0x95, 0x80);
    if (label == QLatin1String("UW_POP3"))
        drawBadge(painter, size, QStringLiteral("POP"), pop, false);
    else if (label == QLatin1String("UW_POP3s"))
        drawBadge(painter, size, QStringLiteral("POP"), pop.darker(140), true);
    else if (label == QLatin1String("UW_IMAP"))
        drawBadge(painter, size, QStringLiteral("IMAP"), imap, false);
    else if (label == QLatin1String("UW_IMAPs"))
        drawBadge(painter, size, QStringLiteral("IMAP"), imap.darker(140), true);
    else
        drawServer(painter, size);
    return pixmap;
}

} // namespace

QIcon toolbarIcon(const QString& paletteLabel, const QStyle* style, int size)
{
    const QStyle::StandardPixmap standard = standardIconFor(paletteLabel);
    if (standard == QStyle::SP_CustomBase) {
        QIcon icon;
        for (const int scale : { 1, 2 })
            icon.addPixmap(drawn(paletteLabel, size * scale));
        return icon;
    }
    // Scaled up where the style has nothing as large, so every item is as tall.
    const QIcon own = style->standardIcon(standard);
    if (own.actualSize(QSize(size, size)).height() >= size)
        return own;
    return QIcon(own.pixmap(size, size).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
