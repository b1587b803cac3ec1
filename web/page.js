// The interactive preview page of `tressel wire --preview out.html`. The
// command writes the data into the page (web/ holds only this script); the
// build bundles this script with three.js into one classic script that the
// command embeds, so the page opens offline from a file.
//
// The page's data: <script id="tressel-data" type="application/json"> with
// {header, view, centre, radius, groups: [{name, colour, wires, segments,
// positions, indices, u}], mesh: {positions, indices} | null}, where each
// buffer field names a <script type="application/octet-stream"> element whose
// text is the base64 of a little-endian array: positions Float32 xyz (model
// units, less `centre`), indices Uint32 pairs (segments) or triples
// (triangles), u Uint16 (u * 65535).
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

function decode(id) {
  const text = document.getElementById(id).textContent.trim();
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes.buffer;
}

// Blue through cyan, green and yellow to red, for u from 0 to 1.
function ramp(u, out, at) {
  const stops = [[0.13, 0.23, 0.85], [0.0, 0.72, 0.85], [0.18, 0.72, 0.2], [0.95, 0.75, 0.05], [0.85, 0.1, 0.1]];
  const x = Math.min(Math.max(u, 0), 1) * (stops.length - 1);
  const i = Math.min(Math.floor(x), stops.length - 2), f = x - i;
  for (let c = 0; c < 3; ++c) out[at + c] = stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f;
}

const VIEWS = {
  iso: [1, 1, 1], front: [0, 0, 1], back: [0, 0, -1], left: [-1, 0, 0],
  right: [1, 0, 0], top: [0, 1, 0], bottom: [0, -1, 0],
};

function main() {
  const data = JSON.parse(document.getElementById('tressel-data').textContent);
  const view = document.getElementById('view');
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xffffff, 1);
  view.appendChild(renderer.domElement);

  const scene = new THREE.Scene();
  const radius = data.radius > 0 ? data.radius : 1;
  // Nearer wires stronger: white fog over the depth of the model.
  scene.fog = new THREE.Fog(0xffffff, 1, 2);
  const camera = new THREE.PerspectiveCamera(35, 1, radius / 100, radius * 100);
  const controls = new OrbitControls(camera, renderer.domElement);
  controls.enableDamping = false;
  controls.screenSpacePanning = true;

  if (data.mesh) {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(decode(data.mesh.positions)), 3));
    geometry.setIndex(new THREE.BufferAttribute(new Uint32Array(decode(data.mesh.indices)), 1));
    geometry.computeVertexNormals();
    const material = new THREE.MeshLambertMaterial({
      color: 0xb8bcc8, transparent: true, opacity: 0.22, depthWrite: false, side: THREE.DoubleSide,
    });
    const mesh = new THREE.Mesh(geometry, material);
    mesh.renderOrder = 1;
    scene.add(mesh);
    scene.add(new THREE.AmbientLight(0xffffff, 1.6));
    const light = new THREE.DirectionalLight(0xffffff, 1.4);
    light.position.set(1, 2, 3);
    camera.add(light);
    scene.add(camera);
  }

  const groups = data.groups.map((group) => {
    const geometry = new THREE.BufferGeometry();
    const positions = new Float32Array(decode(group.positions));
    geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
    geometry.setIndex(new THREE.BufferAttribute(new Uint32Array(decode(group.indices)), 1));
    const plain = new THREE.LineBasicMaterial({ color: new THREE.Color(group.colour) });
    const ramped = new THREE.LineBasicMaterial({ vertexColors: true });
    const lines = new THREE.LineSegments(geometry, plain);
    lines.renderOrder = 0;
    scene.add(lines);
    return { group, geometry, lines, plain, ramped, rampReady: false };
  });

  function render() {
    const distance = camera.position.distanceTo(controls.target);
    scene.fog.near = Math.max(distance - radius, 0);
    scene.fog.far = distance + radius * 2.5;
    renderer.render(scene, camera);
  }

  function resize() {
    const width = view.clientWidth, height = view.clientHeight;
    renderer.setSize(width, height, false);
    renderer.domElement.style.width = width + 'px';
    renderer.domElement.style.height = height + 'px';
    camera.aspect = width / Math.max(height, 1);
    camera.updateProjectionMatrix();
    render();
  }

  function look(name) {
    const direction = new THREE.Vector3(...(VIEWS[name] || VIEWS.iso)).normalize();
    // The bounding sphere fits the height; models are mostly longer than deep.
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2)) * 0.85;
    controls.target.set(0, 0, 0);
    camera.up.set(0, 1, 0);
    if (name === 'top') camera.up.set(0, 0, -1);
    if (name === 'bottom') camera.up.set(0, 0, 1);
    camera.position.copy(direction.multiplyScalar(distance));
    camera.lookAt(0, 0, 0);
    controls.update();
    render();
  }

  function showRamp(on) {
    for (const entry of groups) {
      if (on && !entry.rampReady) {
        const u = new Uint16Array(decode(entry.group.u));
        const colours = new Float32Array(u.length * 3);
        for (let i = 0; i < u.length; ++i) ramp(u[i] / 65535, colours, 3 * i);
        entry.geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
        entry.rampReady = true;
      }
      entry.lines.material = on ? entry.ramped : entry.plain;
    }
    document.getElementById('ramp-key').hidden = !on;
    render();
  }

  // The legend: a switch per group, and all / none.
  const list = document.getElementById('groups');
  const boxes = [];
  groups.forEach((entry, index) => {
    const item = document.createElement('li');
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = true;
    box.dataset.group = String(index);
    box.addEventListener('change', () => {
      entry.lines.visible = box.checked;
      render();
    });
    boxes.push(box);
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = entry.group.colour;
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = entry.group.name;
    name.title = `${entry.group.name}: ${entry.group.wires} wires, ${entry.group.segments} segments`;
    label.append(box, swatch, name);
    item.append(label);
    list.append(item);
  });
  const setAll = (on) => {
    boxes.forEach((box, index) => {
      box.checked = on;
      groups[index].lines.visible = on;
    });
    render();
  };
  document.getElementById('all').addEventListener('click', () => setAll(true));
  document.getElementById('none').addEventListener('click', () => setAll(false));
  document.getElementById('ramp').addEventListener('change', (event) => showRamp(event.target.checked));
  for (const button of document.querySelectorAll('[data-view]'))
    button.addEventListener('click', () => look(button.dataset.view));

  controls.addEventListener('change', render);
  window.addEventListener('resize', resize);
  resize();
  look(data.view);
  document.body.dataset.ready = 'yes';
}

try {
  main();
} catch (error) {
  document.body.dataset.ready = 'failed';
  const message = document.getElementById('failure');
  message.textContent = 'The preview could not be shown: ' + error.message;
  message.hidden = false;
  throw error;
}
