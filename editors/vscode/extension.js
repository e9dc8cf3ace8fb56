// Starts `tarvex --dap` for the tarvex debugger type, with the program named by the
// tarvex.path setting, and forwards edits of a debugged program's document to its run.
const vscode = require('vscode');
const { touchedlines, names } = require('./forward');

function activate(context) {
  const sessions = new Set();
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('tarvex', {
      createDebugAdapterDescriptor() {
        const path = vscode.workspace.getConfiguration('tarvex').get('path') || 'tarvex';
        return new vscode.DebugAdapterExecutable(path, ['--dap']);
      },
    }),
    vscode.debug.onDidStartDebugSession((s) => s.type === 'tarvex' && sessions.add(s)),
    vscode.debug.onDidTerminateDebugSession((s) => sessions.delete(s)),
    vscode.workspace.onDidChangeTextDocument((e) => {
      const args = touchedlines(e.contentChanges, (n) => e.document.lineAt(n).text);
      if (!args) return;
      for (const s of sessions) {
        const folder = s.workspaceFolder ? s.workspaceFolder.uri.fsPath : process.cwd();
        if (!names(String(s.configuration.program), folder, e.document.uri.fsPath)) continue;
        // A refused edit (a character the program's decoding cannot hold, a half-done tick)
        // leaves the run as it was: say so where the user is typing.
        s.customRequest('tarvexEditLines', args).then(undefined, (error) =>
          vscode.window.showWarningMessage(`tarvex: ${error.message}`));
      }
    }),
  );
}

module.exports = { activate, deactivate() {} };
