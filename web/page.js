// The solving page: a board to set up (clicks, an SFEN, or a problem file),
// the engine in a Worker (worker.js), the live search, and the answer or the
// soundness check shown with the check report's own diagrams.
(function () {
  'use strict';
  var R = window.kestraneReport;
  var FULL_SET = {P: 18, L: 4, N: 4, S: 4, G: 4, B: 2, R: 2};
  var HAND_ORDER = ['R', 'B', 'G', 'S', 'N', 'L', 'P'];
  var NAMES = {P: '歩', L: '香', N: '桂', S: '銀', G: '金', B: '角', R: '飛', K: '玉',
               '+P': 'と', '+L': '杏', '+N': '圭', '+S': '全', '+B': '馬', '+R': '龍'};
  var PALETTE = ['K', 'R', 'B', 'G', 'S', 'N', 'L', 'P', '+R', '+B', '+S', '+N', '+L', '+P'];
  var START = '4k4/9/9/9/9/9/9/9/9 b 2r2b4g4s4n4l18p 1';
  var $ = function (id) { return document.getElementById(id); };

  var pos = R.parse(START);      // {sq: {'file,rank': {p, w}}, hands: {b, w}}
  // Set up on the board, the defender holds every piece not placed; a
  // position given as text or in a file keeps its own defender's hand.
  var restToDefender = true;
  var chosen = {p: 'G', w: false};
  var problemFile = null;        // {path, sfen}: the opened file, while its position stands
  var worker = null, engineReady = false, busy = null, startedAt = 0, timer = 0, nextId = 1;

  function base(p) { return p.replace('+', ''); }

  // The defender holds every piece that is not on the board or in the
  // attacker's hand, as tsume problems are set.
  function unplaced(withDefender) {
    var rest = Object.assign({}, FULL_SET);
    for (var k in pos.sq) { var b = base(pos.sq[k].p); if (rest[b] !== undefined) rest[b]--; }
    for (var p in pos.hands.b) if (rest[p] !== undefined) rest[p] -= pos.hands.b[p];
    if (withDefender) for (var w in pos.hands.w) if (rest[w] !== undefined) rest[w] -= pos.hands.w[w];
    var hand = {};
    for (var q in rest) if (rest[q] > 0) hand[q] = rest[q];
    return hand;
  }
  function defenderHand() { return restToDefender ? unplaced(false) : pos.hands.w; }
  // Pieces of the set still free to place or to give the attacker.
  function available() { return unplaced(!restToDefender); }

  function toSfen() {
    var rows = [];
    for (var r = 1; r <= 9; r++) {
      var row = '', empty = 0;
      for (var f = 9; f >= 1; f--) {
        var s = pos.sq[f + ',' + r];
        if (!s) { empty++; continue; }
        if (empty) { row += empty; empty = 0; }
        var letter = s.p[s.p.length - 1];
        row += (s.p[0] === '+' ? '+' : '') + (s.w ? letter.toLowerCase() : letter);
      }
      rows.push(row + (empty ? empty : ''));
    }
    var hands = '', white = defenderHand();
    HAND_ORDER.forEach(function (p) { var n = pos.hands.b[p] || 0; if (n) hands += (n > 1 ? n : '') + p; });
    HAND_ORDER.forEach(function (p) { var n = white[p] || 0; if (n) hands += (n > 1 ? n : '') + p.toLowerCase(); });
    return rows.join('/') + ' b ' + (hands || '-') + ' 1';
  }

  function show() {
    pos.hands.w = defenderHand();
    R.draw($('board'), toSfen(), '');
    $('sfen').value = toSfen();
    drawHand();
  }

  function drawPalette() {
    var box = $('palette');
    box.textContent = '';
    var side = document.createElement('button');
    side.type = 'button';
    side.id = 'side';
    side.textContent = chosen.w ? '△ defender' : '▲ attacker';
    side.addEventListener('click', function () { chosen.w = !chosen.w; drawPalette(); });
    box.appendChild(side);
    PALETTE.concat(['']).forEach(function (p) {
      var b = document.createElement('button');
      b.type = 'button';
      b.dataset.piece = p;
      b.textContent = p ? NAMES[p] : '✕';
      b.title = p ? 'place ' + NAMES[p] : 'empty a square';
      b.setAttribute('aria-pressed', String(chosen.p === p));
      b.addEventListener('click', function () { chosen.p = p; drawPalette(); });
      box.appendChild(b);
    });
  }

  function drawHand() {
    var box = $('hand');
    box.textContent = '';
    var title = document.createElement('span');
    title.textContent = '▲ in hand:';
    box.appendChild(title);
    HAND_ORDER.forEach(function (p) {
      var span = document.createElement('span');
      var n = pos.hands.b[p] || 0;
      var less = document.createElement('button'), more = document.createElement('button');
      less.type = more.type = 'button';
      less.textContent = '−';
      more.textContent = '+';
      less.dataset.hand = more.dataset.hand = p;
      less.disabled = n === 0;
      more.disabled = !(available()[p] > 0);
      less.addEventListener('click', function () { setHand(p, n - 1); });
      more.addEventListener('click', function () { setHand(p, n + 1); });
      span.appendChild(less);
      span.appendChild(document.createTextNode(' ' + NAMES[p] + n + ' '));
      span.appendChild(more);
      box.appendChild(span);
    });
  }

  function setHand(p, n) {
    if (n > 0) pos.hands.b[p] = n; else delete pos.hands.b[p];
    changed();
  }

  function changed() {
    problemFile = null;
    show();
  }

  // A click on the board places the chosen piece, or takes away the same one.
  $('board').addEventListener('click', function (e) {
    var svg = $('board'), pt = svg.createSVGPoint();
    pt.x = e.clientX;
    pt.y = e.clientY;
    var at = pt.matrixTransform(svg.getScreenCTM().inverse());
    var square = R.squareOf(at.x, at.y);
    if (!square) return;
    var key = square.file + ',' + square.rank, old = pos.sq[key];
    if (!chosen.p || (old && old.p === chosen.p && old.w === chosen.w)) {
      delete pos.sq[key];
    } else {
      if (base(chosen.p) !== 'K' && !(available()[base(chosen.p)] > 0) && !(old && base(old.p) === base(chosen.p))) {
        message('No ' + NAMES[base(chosen.p)] + ' is left to place.');
        return;
      }
      if (chosen.p === 'K') {
        for (var k in pos.sq) if (pos.sq[k].p === 'K' && pos.sq[k].w === chosen.w) delete pos.sq[k];
      }
      pos.sq[key] = {p: chosen.p, w: chosen.w};
    }
    message('');
    changed();
  });

  function message(text) { $('message').textContent = text; }

  function setSfen(text) {
    var sfen = text.trim().replace(/^position\s+/, '').replace(/^sfen\s+/, '');
    var fields = sfen.split(/\s+/);
    if (fields.length < 2 || fields[0].split('/').length !== 9) {
      message('That is not an SFEN: nine ranks separated by "/", then the side to move.');
      return false;
    }
    if (fields[1] !== 'b') {
      message('The attacker must be Black (b) to move here.');
      return false;
    }
    pos = R.parse(fields.join(' '));
    var given = pos.hands.w, rest = unplaced(false);
    restToDefender = HAND_ORDER.every(function (p) { return (given[p] || 0) === (rest[p] || 0); });
    $('rest').checked = restToDefender;
    message('');
    return true;
  }

  $('set').addEventListener('click', function () { if (setSfen($('sfen').value)) changed(); });
  $('clear').addEventListener('click', function () {
    pos = R.parse('9/9/9/9/9/9/9/9/9 b - 1');
    restToDefender = $('rest').checked = true;
    changed();
  });
  $('rest').addEventListener('change', function () {
    if (!$('rest').checked) pos.hands.w = unplaced(false);
    restToDefender = $('rest').checked;
    changed();
  });

  $('file').addEventListener('change', function () {
    var file = $('file').files[0];
    if (!file) return;
    file.arrayBuffer().then(function (bytes) {
      request({type: 'read', name: file.name, bytes: bytes}, function (answer) {
        if (answer.error) { message(file.name + ': ' + answer.error); return; }
        if (!setSfen(answer.sfen)) return;
        show();
        problemFile = {path: answer.path, sfen: toSfen(), stated: answer.stated};
        message(answer.stated.length ? 'The file states a line of ' + answer.stated.length +
                ' plies; the soundness check judges that line.' : '');
      });
    });
  });

  // Worker requests that answer once, by id.
  var waiting = {};
  function request(m, done) {
    m.id = nextId++;
    waiting[m.id] = done;
    worker.postMessage(m);
  }
  function usi(line) { worker.postMessage({type: 'usi', line: line}); }

  function setBusy(kind) {
    busy = kind;
    $('solve').disabled = $('check').disabled = !!kind || !engineReady;
    $('stop').disabled = !kind;
    clearInterval(timer);
    if (kind) {
      startedAt = performance.now();
      timer = setInterval(function () { if (kind === 'check') status('Checking… ' + elapsed()); }, 250);
    }
  }
  function elapsed() { return ((performance.now() - startedAt) / 1000).toFixed(1) + ' s'; }
  function status(text) { $('status').textContent = text; }

  var lastNodes = 0, proven = false;
  function onUsi(line) {
    if (busy !== 'solve') return;
    if (line === 'info string The mate is proven shortest.') proven = true;
    var nodes = /\bnodes (\d+)/.exec(line);
    if (line.indexOf('info ') === 0 && nodes) {
      lastNodes = +nodes[1];
      status('Searching… ' + elapsed() + ', ' + lastNodes.toLocaleString('en') + ' nodes');
    }
    var mate = /score mate (\d+) pv (.*)$/.exec(line);
    if (mate && !$('first').dataset.shown) {
      $('first').dataset.shown = '1';
      $('first').textContent = 'First mate found after ' + elapsed() + ': ' + mate[1] + ' plies (' + mate[2].trim() +
                               '); looking for the shortest…';
    }
    if (line.indexOf('checkmate') !== 0) return;
    var answer = line.slice(10).trim();
    var took = elapsed();
    setBusy(null);
    if (answer === 'nomate') { status('No mate (' + took + ').'); return; }
    if (answer === 'timeout' || answer === '') { status('No mate found in time (' + took + ').'); return; }
    var moves = answer.split(' ');
    var said = 'Mate in ' + moves.length + (proven ? ', proven shortest' : '');
    status(said + ' (' + took + ', ' + lastNodes.toLocaleString('en') + ' nodes).');
    request({type: 'line-report', sfen: toSfen(), moves: moves, name: 'Solution', shortest: proven,
             ms: performance.now() - startedAt}, function (report) {
      // The solution alone: its soundness is the check's to say.
      showReport(report, said + '. Check soundness looks for alternate solutions and longer defences.');
    });
  }

  var styled = false;
  function showReport(answer, verdict) {
    if (busy === 'check') setBusy(null);
    if (answer.html.indexOf('error\t') === 0) { message(answer.html.slice(6)); return; }
    var doc = new DOMParser().parseFromString(answer.html, 'text/html');
    if (!styled) {
      var style = doc.querySelector('style');
      if (style) document.head.appendChild(document.importNode(style, true));
      styled = true;
    }
    var section = doc.querySelector('section.problem');
    if (!section) { message('The engine gave no answer to show.'); return; }
    var results = $('results');
    results.textContent = '';
    var node = document.importNode(section, true);
    if (verdict) {
      var said = node.querySelector('.verdict');
      said.textContent = verdict;
      said.className = 'verdict';
    }
    results.appendChild(node);
    R.addPlayer(node);
  }

  $('solve').addEventListener('click', function () {
    $('results').textContent = '';
    $('first').textContent = '';
    delete $('first').dataset.shown;
    message('');
    lastNodes = 0;
    proven = false;
    setBusy('solve');
    status('Searching…');
    var limit = +$('limit').value;
    usi('usinewgame');
    usi('position sfen ' + toSfen());
    usi(limit > 0 ? 'go mate ' + limit : 'go mate infinite');
  });

  $('check').addEventListener('click', function () {
    $('results').textContent = '';
    $('first').textContent = '';
    message('');
    setBusy('check');
    var limit = +$('limit').value;
    var sfen = toSfen();
    var file = problemFile && problemFile.sfen === sfen ? problemFile.path : '';
    request({type: 'check', path: file, sfen: sfen, name: 'Problem', limitMs: limit,
             altSeconds: limit > 0 ? Math.max(10, limit / 1000) : 0, hashMb: 64}, function (answer) {
      status('Checked (' + elapsed() + ').');
      showReport(answer);
    });
  });

  $('stop').addEventListener('click', function () { usi('stop'); });

  function start() {
    worker = new Worker('worker.js', {type: 'module'});
    worker.onmessage = function (e) {
      var m = e.data;
      if (m.type === 'usi') {
        if (m.line === 'readyok' && !engineReady) {
          engineReady = true;
          setBusy(null);
          status('Ready.');
        }
        onUsi(m.line);
      } else if (m.type === 'error') {
        message(m.text);
      } else if (waiting[m.id]) {
        var done = waiting[m.id];
        delete waiting[m.id];
        done(m);
      }
    };
    worker.onerror = function (e) { message('The engine could not start: ' + (e.message || 'unknown error')); };
    usi('usi');
    usi('setoption name USI_Hash value 64');
    usi('isready');
  }

  drawPalette();
  show();
  start();
  window.kestranePage = {sfen: toSfen, setSfen: function (text) { if (setSfen(text)) changed(); }};
})();
