// Runs a program off the page's thread: assembles the source, simulates it with the budget and
// hands the events back as transferred typed arrays; when asked, it checks the run's timing
// too. The page ends a run by terminating this worker.
/* global importScripts, createVexa */
importScripts('vexa.js');

const ready = createVexa();
const EVENT_LIMIT = 4000000; // events kept for display; the rest are counted
// Without waveform tables only the timing can be checked.
const TIMING = { kinds: ['underrun', 'acquisition_overlap'], max_findings: 1000 };

self.onmessage = async ({ data }) => {
  try {
    const vexa = await ready;
    const program = new vexa.Program();
    const assembly = program.assemble(data.source, data.name);
    if (!assembly.ok) {
      self.postMessage({ failed: true, message: 'The program did not assemble' });
      return;
    }
    const result = data.checkTiming
      ? program.simulate(data.budget, EVENT_LIMIT, TIMING)
      : program.simulate(data.budget, EVENT_LIMIT);
    program.delete();
    const transfer = Object.values(result.events.columns).map((a) => a.buffer);
    self.postMessage(result, transfer);
  } catch (error) {
    self.postMessage({ failed: true, message: String(error && error.message ? error.message : error) });
  }
};
