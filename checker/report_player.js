// The report's diagrams: draws a problem's ply from its SFEN as SVG, and
// steps through the plies with the buttons, a click on a move, or the arrow
// keys. kestrane-check puts it into every report page; the solving page
// loads it as it is.
(function(){
'use strict';
var NS='http://www.w3.org/2000/svg',C=40,X0=12,Y0=62;
var NAMES={P:'歩',L:'香',N:'桂',S:'銀',G:'金',B:'角',R:'飛',K:'玉',
'+P':'と','+L':'杏','+N':'圭','+S':'全','+B':'馬','+R':'龍'};
var HAND_ORDER=['R','B','G','S','N','L','P'];
var DIGITS=['','','二','三','四','五','六','七','八','九'];
var RANKS=['','一','二','三','四','五','六','七','八','九'];
function count(n){return n<2?'':n<10?DIGITS[n]:'十'+DIGITS[n-10];}
function parse(sfen){
  var f=sfen.split(' '),rows=f[0].split('/'),sq={},hands={b:{},w:{}};
  for(var r=0;r<rows.length;r++){var file=9,pro='';
    for(var i=0;i<rows[r].length;i++){var c=rows[r][i];
      if(c==='+'){pro='+';continue;}
      if(c>='1'&&c<='9'){file-=+c;continue;}
      var up=c.toUpperCase();sq[file+','+(r+1)]={p:pro+up,w:c!==up};file--;pro='';}}
  var h=f[2]||'-',n=0;
  for(var j=0;h!=='-'&&j<h.length;j++){var d=h[j];
    if(d>='0'&&d<='9'){n=n*10+(+d);continue;}
    var side=d===d.toUpperCase()?'b':'w';hands[side][d.toUpperCase()]=n||1;n=0;}
  return {sq:sq,hands:hands};
}
function el(name,attrs,text){var e=document.createElementNS(NS,name);
  for(var k in attrs)e.setAttribute(k,attrs[k]);if(text!==undefined)e.textContent=text;return e;}
function handText(side,hand){var parts=[];
  HAND_ORDER.forEach(function(p){if(hand[p])parts.push(NAMES[p]+count(hand[p]));});
  return (side==='b'?'☗先手 持駒 ':'☖後手 持駒 ')+(parts.length?parts.join(' '):'なし');}
function squareX(file){return X0+(9-file)*C;}
function squareY(rank){return Y0+(rank-1)*C;}
function draw(svg,sfen,usi){
  var pos=parse(sfen);while(svg.firstChild)svg.removeChild(svg.firstChild);
  svg.appendChild(el('text',{'class':'hand','data-side':'w',x:X0,y:24,'font-size':15},handText('w',pos.hands.w)));
  svg.appendChild(el('rect',{'class':'grid',x:X0,y:Y0,width:9*C,height:9*C,fill:'#f3d9a4',stroke:'#333','stroke-width':2}));
  if(usi){var to=usi.substr(2,2),mark=function(sqr,cls,fill){
      var file=+sqr[0],rank=sqr.charCodeAt(1)-96;
      svg.appendChild(el('rect',{'class':cls,x:squareX(file),y:squareY(rank),width:C,height:C,fill:fill}));};
    if(usi[1]!=='*')mark(usi.substr(0,2),'from','#f9e7b0');mark(to,'last','#f6c94c');}
  for(var i=1;i<9;i++){
    svg.appendChild(el('line',{x1:X0+i*C,y1:Y0,x2:X0+i*C,y2:Y0+9*C,stroke:'#333','stroke-width':1}));
    svg.appendChild(el('line',{x1:X0,y1:Y0+i*C,x2:X0+9*C,y2:Y0+i*C,stroke:'#333','stroke-width':1}));}
  [[3,3],[3,6],[6,3],[6,6]].forEach(function(s){svg.appendChild(el('circle',{cx:X0+s[0]*C,cy:Y0+s[1]*C,r:3,fill:'#333'}));});
  for(var f=9;f>=1;f--)svg.appendChild(el('text',{'class':'coord',x:squareX(f)+C/2,y:Y0-8,'text-anchor':'middle','font-size':14},String(f)));
  for(var r=1;r<=9;r++)svg.appendChild(el('text',{'class':'coord',x:X0+9*C+14,y:squareY(r)+C/2,'text-anchor':'middle','dominant-baseline':'central','font-size':14},RANKS[r]));
  for(var key in pos.sq){var s=pos.sq[key],xy=key.split(','),x=squareX(+xy[0])+C/2,y=squareY(+xy[1])+C/2;
    var a={'class':'pc',x:x,y:y,'text-anchor':'middle','dominant-baseline':'central','font-size':30};
    if(s.p[0]==='+')a.fill='#b3261e';if(s.w)a.transform='rotate(180 '+x+' '+y+')';
    svg.appendChild(el('text',a,NAMES[s.p]||'?'));}
  svg.appendChild(el('text',{'class':'hand','data-side':'b',x:X0,y:Y0+9*C+30,'font-size':15},handText('b',pos.hands.b)));
}
var players=[];
function Player(section){
  var data=JSON.parse(section.querySelector('script.plies').textContent);
  this.section=section;this.data=data;this.ply=0;this.svg=section.querySelector('svg.diagram');
  this.label=section.querySelector('.ply');this.now=section.querySelector('.now');this.line=-1;
  this.moves=section.querySelectorAll('.mv');var self=this;
  section.querySelectorAll('.controls button').forEach(function(b){b.addEventListener('click',function(){self.step(b.getAttribute('data-step'));});});
  this.moves.forEach(function(m){m.addEventListener('click',function(){self.show(-1);self.go(+m.getAttribute('data-ply'));});});
  this.main=data;
  section.querySelectorAll('button.alt-line').forEach(function(b){b.addEventListener('click',function(){
    var k=+b.getAttribute('data-line');self.show(k);self.go(k<0?0:self.main.lines[k].from+1);});});
  section.addEventListener('click',function(){current=self;});
  this.go(0);
}
Player.prototype.go=function(ply){var last=this.data.sfens.length-1;
  this.ply=Math.max(0,Math.min(last,ply));
  draw(this.svg,this.data.sfens[this.ply],this.ply>0?this.data.usi[this.ply-1]:'');
  this.label.textContent=this.ply+' / '+last;
  this.now.textContent=this.ply>0?this.ply+'手目 '+this.data.moves[this.ply-1]:'初形';
  for(var i=0;i<this.moves.length;i++)this.moves[i].classList.toggle('cur',this.line<0&&i===this.ply-1);
  var b=this.section.querySelectorAll('.controls button');
  b[0].disabled=b[1].disabled=this.ply===0;b[2].disabled=b[3].disabled=this.ply===last;};
// Line k of the findings (-1: the main line), played from the root: the
// main line's plies up to where it branches, then its own.
Player.prototype.show=function(k){var m=this.main;
  if(k<0||!m.lines||!m.lines[k]){this.data=m;this.line=-1;}
  else{var l=m.lines[k],f=l.from;this.line=k;
    this.data={sfens:m.sfens.slice(0,f+1).concat(l.sfens),usi:m.usi.slice(0,f).concat(l.usi),
      moves:m.moves.slice(0,f).concat(l.moves),lines:m.lines};}
  this.section.setAttribute('data-showing',String(this.line));};
Player.prototype.step=function(how){
  this.go(how==='first'?0:how==='prev'?this.ply-1:how==='next'?this.ply+1:this.data.sfens.length-1);};
var current=null;
function inView(){for(var i=0;i<players.length;i++){if(players[i].section.getBoundingClientRect().bottom>80)return players[i];}return players[0];}
document.addEventListener('keydown',function(e){
  var keys={ArrowLeft:'prev',ArrowRight:'next',Home:'first',End:'last'};
  if(!keys[e.key]||e.altKey||e.ctrlKey||e.metaKey)return;
  var p=current&&current.section.getBoundingClientRect().bottom>0&&current.section.getBoundingClientRect().top<innerHeight?current:inView();
  if(p){p.step(keys[e.key]);e.preventDefault();}});
document.querySelectorAll('section.problem').forEach(function(s){players.push(new Player(s));});
window.kestranePlayers=players;
// The solving page draws its own board with the same drawing, and adds the
// sections it receives as players.
window.kestraneReport={draw:draw,parse:parse,squareOf:function(x,y){
  var file=9-Math.floor((x-X0)/C),rank=Math.floor((y-Y0)/C)+1;
  return file>=1&&file<=9&&rank>=1&&rank<=9?{file:file,rank:rank}:null;},
  addPlayer:function(section){var p=new Player(section);players.push(p);current=p;return p;}};
})();
