// Reads a diagram drawn by the report's script back into SFEN text, for the
// browser tests of the report and of the solving page:
//   kestraneDiagram.board(svg)       the board, "9/9/3B3G1/..."
//   kestraneDiagram.hand(svg, side)  a side's hand ('b' or 'w'), "N2P" or ""
//   kestraneDiagram.marked(svg)      the last move's square, "2g", or "-"
(function () {
  'use strict';
  var LETTERS = {'歩': 'P', '香': 'L', '桂': 'N', '銀': 'S', '金': 'G', '角': 'B', '飛': 'R', '玉': 'K',
                 'と': '+P', '杏': '+L', '圭': '+N', '全': '+S', '馬': '+B', '龍': '+R'};
  var NUMBERS = {'二': 2, '三': 3, '四': 4, '五': 5, '六': 6, '七': 7, '八': 8, '九': 9};
  var RANKS = 'abcdefghi';

  function square(svg, x, y) {
    var grid = svg.querySelector('rect.grid');
    var gx = +grid.getAttribute('x'), gy = +grid.getAttribute('y'), c = +grid.getAttribute('width') / 9;
    return {file: 9 - Math.floor((x - gx) / c), rank: Math.floor((y - gy) / c) + 1};
  }

  function board(svg) {
    var cells = {};
    svg.querySelectorAll('text.pc').forEach(function (t) {
      var at = square(svg, +t.getAttribute('x'), +t.getAttribute('y'));
      var letter = LETTERS[t.textContent] || '?';
      var turned = /rotate\(180/.test(t.getAttribute('transform') || '');
      cells[at.file + ',' + at.rank] = turned ? letter.toLowerCase() : letter;
    });
    var rows = [];
    for (var r = 1; r <= 9; r++) {
      var row = '', empty = 0;
      for (var f = 9; f >= 1; f--) {
        var p = cells[f + ',' + r];
        if (!p) { empty++; continue; }
        if (empty) { row += empty; empty = 0; }
        row += p;
      }
      rows.push(row + (empty ? empty : ''));
    }
    return rows.join('/');
  }

  function hand(svg, side) {
    var text = svg.querySelector('text.hand[data-side="' + side + '"]').textContent;
    var parts = text.split('持駒')[1].trim().split(/\s+/), counts = {};
    parts.forEach(function (part) {
      if (part === 'なし') return;
      var letter = LETTERS[part[0]], rest = part.slice(1), n = 1;
      if (rest.length) n = rest[0] === '十' ? 10 + (NUMBERS[rest[1]] || 0) : NUMBERS[rest[0]];
      counts[letter] = n;
    });
    var out = '';
    ['R', 'B', 'G', 'S', 'N', 'L', 'P'].forEach(function (l) {
      if (!counts[l]) return;
      out += (counts[l] > 1 ? counts[l] : '') + (side === 'b' ? l : l.toLowerCase());
    });
    return out;
  }

  function marked(svg) {
    var mark = svg.querySelector('rect.last');
    if (!mark) return '-';
    var c = +svg.querySelector('rect.grid').getAttribute('width') / 9;
    var at = square(svg, +mark.getAttribute('x') + c / 2, +mark.getAttribute('y') + c / 2);
    return at.file + RANKS[at.rank - 1];
  }

  window.kestraneDiagram = {board: board, hand: hand, marked: marked};
})();
