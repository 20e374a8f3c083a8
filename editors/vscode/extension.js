// Starts vexa-lsp for Vexa assembly documents and restarts it when its settings change.
"use strict";

const vscode = require("vscode");
const { LanguageClient, TransportKind } = require("vscode-languageclient/node");

let client;

function serverOptions(settings) {
    const command = settings.get("server.path") || "vexa-lsp";
    return { command, transport: TransportKind.stdio };
}

function clientOptions(settings) {
    return {
        documentSelector: [{ language: "vexa" }],
        // The budget goes with initialize; later changes arrive through
        // workspace/didChangeConfiguration under the "vexa" section.
        initializationOptions: { instructionBudget: settings.get("instructionBudget") },
        synchronize: { configurationSection: "vexa" },
    };
}

async function start() {
    const settings = vscode.workspace.getConfiguration("vexa");
    client = new LanguageClient("vexa", "Vexa Language Server", serverOptions(settings),
                                clientOptions(settings));
    await client.start();
}

async function stop() {
    if (client) {
        const running = client;
        client = undefined;
        await running.stop();
    }
}

async function activate(context) {
    context.subscriptions.push(
        vscode.workspace.onDidChangeConfiguration(async (event) => {
            // A new server path needs a new process; the budget reaches the running server.
            if (event.affectsConfiguration("vexa.server.path")) {
                await stop();
                await start();
            }
        }),
        vscode.commands.registerCommand("vexa.restartServer", async () => {
            await stop();
            await start();
        }));
    await start();
}

function deactivate() {
    return stop();
}

module.exports = { activate, deactivate };
