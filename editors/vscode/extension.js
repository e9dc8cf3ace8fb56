// Starts `tarvex --dap` for the tarvex debugger type, with the program named by the
// tarvex.path setting.
const vscode = require('vscode');

function activate(context) {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('tarvex', {
      createDebugAdapterDescriptor() {
        const path = vscode.workspace.getConfiguration('tarvex').get('path') || 'tarvex';
        return new vscode.DebugAdapterExecutable(path, ['--dap']);
      },
    }),
  );
}

module.exports = { activate, deactivate() {} };
