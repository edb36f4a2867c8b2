#pragma once

#include "engine/ConnectionTest.h"
#include "settings/AIProvider.h"
#include "settings/ApiKeyInput.h"
#include "settings/KeyLookup.h"
#include "settings/SettingsWindowRules.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// One provider's part of the general tab: where to register, the model, the API key (masked
// or in clear) and the connection test. The key field starts read-only until the key store
// has answered.
class ProviderCard : public QWidget {
    Q_OBJECT
public:
    ProviderCard(AIProvider provider, const ModelChoices& models, QWidget* parent = nullptr);

    AIProvider provider() const { return m_provider; }

    // The key store's answer: a key fills the field, "no key" leaves it empty, an unavailable
    // store leaves it untouched and says why.
    void showStoredKey(const KeyLookup& lookup);
    KeyFieldState keyState() const { return m_keyState; }
    // The key field's text, whether masked or in clear.
    QString keyFieldText() const;
    bool apiKeyVisible() const { return m_apiKeyVisible; }
    void toggleKeyVisibility();
    // After a save: the field now shows what is stored.
    void markKeyKnown() { m_keyState = KeyFieldState::known; }
    void showKeyStatus(const StatusMessage& status);
    void showTestStatus(const StatusMessage& status);

    QString modelTitle() const;

    QComboBox* modelPopup() const { return m_modelPopup; }
    QLineEdit* keyField() const { return m_keyField; }
    QToolButton* eyeButton() const { return m_eyeButton; }
    QPushButton* testButton() const { return m_testButton; }
    QLabel* testStatusLabel() const { return m_testStatusLabel; }
    QLabel* keyStatusLabel() const { return m_keyStatusLabel; }

private:
    AIProvider m_provider;
    KeyFieldState m_keyState = KeyFieldState::loading;
    bool m_apiKeyVisible = false;
    QComboBox* m_modelPopup;
    QLineEdit* m_keyField;
    QToolButton* m_eyeButton;
    QLabel* m_keyStatusLabel;
    QPushButton* m_testButton;
    QLabel* m_testStatusLabel;
};
