// The objects of a whole new file packed into compressed object streams, for a file
// that kept its objects so: written loose instead, a file of many small objects (an
// outline, fonts, links) grows to twice its size and more. Streams stay loose, as
// they must.

import { Dict, Stream, latin1Bytes, name, serialize } from './objects.mjs';

const PER_STREAM = 100;

async function deflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

// `objects`: num -> value, whose references `mapRef` renumbers; the object streams are
// numbered from `firstNum` on. Returns {loose, places}: what is written as it is (the
// streams and the object streams), and where each packed object went ({stream, index}).
export async function packObjects(objects, mapRef, firstNum) {
    const loose = new Map();
    const packable = [];
    for (const [num, value] of objects) {
        if (value instanceof Stream) loose.set(num, value);
        else packable.push(num);
    }
    const places = new Map();
    for (let i = 0, streamNum = firstNum; i < packable.length; i += PER_STREAM, ++streamNum) {
        const nums = packable.slice(i, i + PER_STREAM);
        let header = '';
        let body = '';
        nums.forEach((num, index) => {
            header += `${num} ${body.length} `;
            body += `${serialize(objects.get(num), mapRef)}\n`;
            places.set(num, { stream: streamNum, index });
        });
        const dict = new Dict([['Type', name('ObjStm')], ['N', nums.length], ['First', header.length], ['Filter', name('FlateDecode')]]);
        loose.set(streamNum, new Stream(dict, await deflate(latin1Bytes(header + body))));
    }
    return { loose, places };
}
