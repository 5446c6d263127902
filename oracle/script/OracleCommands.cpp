#include "oracle/script/OracleCommands.h"

#include "base/Exception.h"
#include "base/TextCase.h"

#include <algorithm>

namespace quorvel {

// ---- TOracleCommand

TOracleCommand::TOracleCommand(TScriptText& script) : FScript(&script) {
    FCommandType = ClassifyCommandText(FText, script.AllSQLCommands());
}

int TOracleCommand::Index() const { return FScript->FCommands.IndexOf(*this); }

void TOracleCommand::SetIndex(int index) {
    const int from = Index();
    if (from >= 0 && from != index) FScript->FCommands.Move(from, index);
}

void TOracleCommand::SetText(const std::string& text) {
    if (text == FText) return;
    FText = text;
    FCommandType = ClassifyCommandText(FText, FScript->AllSQLCommands());
    FHaveWords = false;
    FWords.clear();
    FScript->MarkCommandsChanged();
}

int TOracleCommand::ScriptLength() const {
    const auto& items = FScript->FCommands.FItems;
    const int index = Index();
    if (index >= 0 && std::size_t(index) + 1 < items.size()) return items[std::size_t(index) + 1]->FScriptPos - FScriptPos;
    return FScript->OriginalTextLength() - FScriptPos;
}

const std::vector<std::string>& TOracleCommand::Words() const {
    if (!FHaveWords) {
        FWords = SplitCommandWords(FScript->SubstituteVariables(FText));
        FHaveWords = true;
    }
    return FWords;
}

std::string TOracleCommand::CommentProperty(const std::string& name) const {
    return quorvel::CommentProperty(FText, name);
}

bool TOracleCommand::Execute() { return FScript->ExecuteCommand(*this); }

// ---- TOracleCommands

void TOracleCommands::CheckIndex(int index) const {
    if (index < 0 || std::size_t(index) >= FItems.size())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

int TOracleCommands::Count() {
    FScript.BuildIfLinesChanged();
    return int(FItems.size());
}

TOracleCommand& TOracleCommands::Items(int index) {
    FScript.BuildIfLinesChanged();
    CheckIndex(index);
    return *FItems[std::size_t(index)];
}

// Edits of the collection apply to the commands of the current text: a pending change of the
// lines is built first, so neither edit is lost.
TOracleCommand& TOracleCommands::Add() {
    FScript.BuildIfLinesChanged();
    FItems.push_back(std::make_unique<TOracleCommand>(FScript));
    FScript.MarkCommandsChanged();
    return *FItems.back();
}

void TOracleCommands::Delete(int index) {
    FScript.CheckCommandsNotInUse();
    FScript.BuildIfLinesChanged();
    CheckIndex(index);
    FScript.CommandRemoved(*FItems[std::size_t(index)]);
    FItems.erase(FItems.begin() + index);
    FScript.MarkCommandsChanged();
}

void TOracleCommands::Clear() {
    FScript.CheckCommandsNotInUse();
    FScript.BuildIfLinesChanged();
    for (const auto& item : FItems) FScript.CommandRemoved(*item);
    FItems.clear();
    FScript.MarkCommandsChanged();
}

void TOracleCommands::Move(int from, int to) {
    FScript.BuildIfLinesChanged();
    CheckIndex(from);
    CheckIndex(to);
    if (from == to) return;
    auto item = std::move(FItems[std::size_t(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
    FScript.MarkCommandsChanged();
}

int TOracleCommands::IndexOf(const TOracleCommand& command) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == &command) return int(i);
    return -1;
}

// ---- TScriptText

TScriptText::TScriptText() : FCommands(*this) {
    FLines.OnChange = [this](TStrings&) {
        if (!FUpdatingLines) FLinesChanged = true;
    };
}

TScriptText::~TScriptText() { FLines.OnChange = nullptr; }

std::string TScriptText::SubstituteVariables(const std::string& text) const { return text; }

TStringList& TScriptText::Lines() {
    if (FCommandsChanged) RegenerateLines();
    return FLines;
}

void TScriptText::SetLines(const TStrings& lines) {
    if (&lines != &FLines) SetLinesQuietly(lines.ToVector());
    BuildCommands();
}

void TScriptText::SetLinesQuietly(const std::vector<std::string>& lines) {
    FUpdatingLines = true;
    try {
        FLines.BeginUpdate();
        FLines.Clear();
        for (const auto& line : lines) FLines.Add(line);
        FLines.EndUpdate();
    } catch (...) {
        FUpdatingLines = false;
        throw;
    }
    FUpdatingLines = false;
}

void TScriptText::CheckCommandsNotInUse() const {
    if (FCommandsInUse > 0) throw Exception("Commands cannot be deleted while a command of the script runs");
}

void TScriptText::BuildCommands() {
    if (FCommandsInUse > 0) {
        // Built when the running command has ended.
        FLinesChanged = true;
        return;
    }
    FCommands.FItems.clear();
    CommandsRebuilt();
    TScriptSplit split = SplitScript(FLines.ToVector(), FAllSQLCommands);
    FOriginalTextLength = split.OriginalTextLength;
    if (int(split.Lines.size()) != FLines.Count() || split.Lines != FLines.ToVector()) SetLinesQuietly(split.Lines);
    FCommands.FItems.reserve(split.Commands.size());
    for (auto& piece : split.Commands) {
        auto command = std::make_unique<TOracleCommand>(*this);
        command->FText = std::move(piece.Text);
        command->FCommandType = piece.CommandType;
        command->FScriptLine = piece.ScriptLine;
        command->FScriptPos = piece.ScriptPos;
        command->FName = quorvel::CommentProperty(command->FText, "NAME");
        FCommands.FItems.push_back(std::move(command));
    }
    // Text and commands agree now.
    FLinesChanged = false;
    FCommandsChanged = false;
}

TOracleCommand* TScriptText::CommandByName(const std::string& name) {
    BuildIfLinesChanged();
    for (auto& command : FCommands.FItems)
        if (AnsiSameText(command->Name(), name)) return command.get();
    return nullptr;
}

void TScriptText::RegenerateLines() {
    std::vector<TScriptPiece> pieces;
    pieces.reserve(FCommands.FItems.size());
    for (const auto& command : FCommands.FItems)
        pieces.push_back(TScriptPiece{command->Text(), command->CommandType(), 0, 0});
    SetLinesQuietly(SplitTextLines(JoinScriptCommands(pieces)));
    FLinesChanged = false;
    FCommandsChanged = false;
}

} // namespace quorvel
