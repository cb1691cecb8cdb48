#pragma once

#include <QLabel>

/// A status light: shows one of the named images "green", "red" or
/// "yellow" and remembers which, so the window's logic can read it back.
class StatusLight : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLight(QWidget* parent = nullptr);

    void setImageNamed(const QString& name);
    const QString& imageName() const { return m_imageName; }

private:
    QString m_imageName;
};
