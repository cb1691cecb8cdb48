#include "shell/StatusLight.h"

#include <QHash>
#include <QPixmap>

StatusLight::StatusLight(QWidget* parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setImageNamed(QStringLiteral("red"));
}

namespace {

/// Each image decoded once: every status refresh sets every light.
const QPixmap& lightImage(const QString& name)
{
    static QHash<QString, QPixmap> images;
    auto found = images.find(name);
    if (found == images.end())
        found = images.insert(name, QPixmap(QStringLiteral(":/images/%1.png").arg(name)));
    return *found;
}

} // namespace

void StatusLight::setImageNamed(const QString& name)
{
    if (name == m_imageName)
        return;
    m_imageName = name;
    setPixmap(lightImage(name));
    setAccessibleName(name);
}
