<?php
// Textes du calendrier, français.
const CAL_TODAY = 'Aujourd\'hui';
const CAL_TOMORROW = "Demain";
const CAL_PREV = 'Mois précédent', CAL_NEXT = 'Mois suivant';
const CAL_WEEK = 'Semaine';
const CAL_WEEK_OF = CAL_WEEK . ' du %s';
const CAL_NO_EVENTS = 'Aucun événement
ce jour-là';
const   CAL_ADD   =   'Ajouter un événement'  ;
define('CAL_DELETE', 'Supprimer l\'événement');
