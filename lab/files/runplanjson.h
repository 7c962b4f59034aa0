// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runplan.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <variant>

// A run's parameters as run.json records them, and back. RunPlanFromJson gives nullopt with
// the reason when the object is not one this program wrote.
QJsonObject RunPlanToJson(const RunPlan &plan);
std::optional<RunPlan> RunPlanFromJson(const QJsonObject &object, QString *reason);

// A whole number within [low, high], as JSON holds it (a double); nullopt for anything else.
std::optional<qint64> JsonWholeNumber(const QJsonValue &value, qint64 low, qint64 high);

// The run plan that a run.json records, read back, or why it cannot be: the file cannot be
// read, is not a record of this program, or is far larger than any run writes.
std::variant<RunPlan, QString> ReadRunRecord(const QString &fileName);
