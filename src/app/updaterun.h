// The stages of the update run, in the order they execute. Each stage reports through
// UpdateStatus and returns its result; a stage that may interrupt the run ends the chain when it
// fails, the others only record their failures.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace tivra {

struct InstallerSession;

struct UpdateStage {
    QString name;                                     // e.g. "04. Arquivos Binários"
    std::function<bool(InstallerSession &)> run;
    bool interruptsRun = false;                       // a failure ends the chain
};

// The chain of stages 01 to 12.
std::vector<UpdateStage> updateStages();

// The log line of every run of a build without a signing key.
inline const QString kUnverifiedDownloadsText = QStringLiteral(
    "Aviso: este instalador foi compilado sem chave de assinatura; os pacotes e instaladores baixados não têm "
    "a assinatura verificada.");

// Thrown by a stage for an error that must end the run where it happens.
}  // namespace tivra
