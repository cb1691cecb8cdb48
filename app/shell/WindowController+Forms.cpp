// The forms built in code, read into and written from plain values.
#include "certificates/AcmePanel.h"
#include "deliverability/DeliverabilityTab.h"
#include "filtering/FilteringTab.h"
#include "shell/WindowController.h"

using namespace brevane;

DeliverabilityForm WindowController::deliverabilityForm() const
{
    return {m_deliverability->dkimSigning(), m_deliverability->selector()};
}

void WindowController::setDeliverabilityForm(const DeliverabilityForm& form)
{
    m_deliverability->setDkimSigning(form.dkimSigning);
    m_deliverability->setSelector(form.selector);
}

acme::AcmeSettings WindowController::acmeForm() const
{
    return m_acmePanel->settings();
}

void WindowController::setAcmeForm(const acme::AcmeSettings& form)
{
    m_acmePanel->setSettings(form);
}

filtering::FilteringSettings WindowController::filteringForm() const
{
    return m_filtering->settings();
}

void WindowController::setFilteringForm(const filtering::FilteringSettings& form)
{
    m_filtering->setSettings(form);
}
