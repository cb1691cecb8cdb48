#include "shell/StatusLight.h"

#include <QPixmap>

StatusLight::StatusLight(QWidget* parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setImageNamed(QStringLiteral("red"));
}

void StatusLight::setImageNamed(const QString& name)
{
    m_imageName = name;
    setPixmap(QPixmap(QStringLiteral(":/images/%1.png").arg(name)));
    setAccessibleName(name);
}
