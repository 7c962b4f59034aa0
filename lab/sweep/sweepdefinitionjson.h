// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sweepdefinition.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// A sweep's definition as its JSON files record it, and back; SweepDefinitionFromJson gives
// nullopt with the reason when the object is not a definition this program wrote.
QJsonObject SweepDefinitionToJson(const SweepDefinition &definition);
std::optional<SweepDefinition> SweepDefinitionFromJson(const QJsonObject &object, QString *reason);

// SHA-256 of the compact JSON, whose keys Qt writes sorted: the same runs, the same text,
// however the preferences were written.
QString SweepFingerprint(const SweepDefinition &definition);
